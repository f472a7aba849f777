#include "json/VJSONObjectFactory.h"

#include "json/VJSONBlob.h"

namespace qirn {

VJSONObjectFactory::VJSONObjectFactory()
{
	fCreators.emplace(VJSONBlob::kSignature, &VJSONBlob::CreateIJSONObject);
}

VJSONObjectFactory* VJSONObjectFactory::Get()
{
	// Made on first use, gone at exit.
	static VJSONObjectFactory sFactory;
	return &sFactory;
}

void VJSONObjectFactory::RegisterSignature(uint32 inSignature, Creator inCreator)
{
	StLocker lock(fLock);
	fCreators[inSignature] = inCreator;
}

void VJSONObjectFactory::UnRegisterSignature(uint32 inSignature)
{
	StLocker lock(fLock);
	fCreators.erase(inSignature);
}

bool VJSONObjectFactory::IsSignatureSupported(uint32 inSignature) const
{
	StLocker lock(fLock);
	return fCreators.contains(inSignature);
}

IJSONObject* VJSONObjectFactory::CreateForSignature(VJSONObject* inObject, uint32 inSignature, const void* inData,
													size_t inSize, VRefPtr<VJSONObject>& outClassObject,
													VError* outError) const
{
	Creator creator = nullptr;
	{
		StLocker lock(fLock);
		auto found = fCreators.find(inSignature);
		if (found == fCreators.end())
			return nullptr;
		creator = found->second;
	}
	return creator(inObject, inSignature, inData, inSize, outClassObject, outError);
}

} // namespace qirn
