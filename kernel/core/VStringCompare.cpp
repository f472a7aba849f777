// Strings as values: their descriptor and the comparison slots, all of which
// compare through VStringCollation.
#include "core/VString.h"

#include "core/VCompareOptions.h"
#include "core/VStringCollation.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

namespace qirn {

const VString_info VString::sInfo;

const VValueInfo* VString::GetValueInfo() const
{
	return &sInfo;
}

namespace {

struct Text {
	const UniChar* fUnits;
	VIndex fLength;

	Text CutTo(VIndex inLength) const { return {fUnits, std::min(fLength, inLength)}; }
};

Text TextOf(const VString& inString)
{
	return {inString.GetCPointer(), inString.GetLength()};
}

int32 FlatLength(const void* inPtr)
{
	int32 length = 0;
	std::memcpy(&length, inPtr, sizeof(length));
	return std::max(length, 0);
}

// The text of a flat form: a native 32-bit length, then the units. Flat data
// need not be aligned; units that are not are copied, so that the
// comparison reads whole units.
class StFlatText {
public:
	explicit StFlatText(const void* inPtr)
	{
		const int32 length = FlatLength(inPtr);
		const char* units = static_cast<const char*>(inPtr) + sizeof(length);
		if (reinterpret_cast<uintptr_t>(units) % alignof(UniChar) == 0) {
			fText = {reinterpret_cast<const UniChar*>(units), length};
		} else {
			fCopy.resize(static_cast<size_t>(length));
			std::memcpy(fCopy.data(), units, fCopy.size() * sizeof(UniChar));
			fText = {fCopy.data(), length};
		}
	}
	StFlatText(const StFlatText&) = delete;
	StFlatText& operator=(const StFlatText&) = delete;

	Text Get() const { return fText; }

private:
	Text fText;
	std::u16string fCopy;
};

const VString* AsString(const VValue* inValue)
{
	return dynamic_cast<const VString*>(inValue);
}

CompareResult Compare(Text inA, Text inB, bool inDiacritical, bool inLike, VIntlMgr* inIntlMgr = nullptr)
{
	if (inLike)
		return VStringCollation::CompareString_Like(inA.fUnits, inA.fLength, inB.fUnits, inB.fLength, inDiacritical,
													inIntlMgr);
	return VStringCollation::CompareString(inA.fUnits, inA.fLength, inB.fUnits, inB.fLength, inDiacritical,
										   inIntlMgr);
}

bool Equal(Text inA, Text inB, bool inDiacritical, bool inLike, VIntlMgr* inIntlMgr = nullptr)
{
	if (inLike)
		return VStringCollation::EqualString_Like(inA.fUnits, inA.fLength, inB.fUnits, inB.fLength, inDiacritical,
												  inIntlMgr);
	return VStringCollation::EqualString(inA.fUnits, inA.fLength, inB.fUnits, inB.fLength, inDiacritical, inIntlMgr);
}

// The form with options of two texts, the first standing where the options
// put "this": begins-with cuts the first, or both when inCutBoth.
CompareResult CompareWithOptions(Text inA, Text inB, const VCompareOptions& inOptions, bool inCutBoth)
{
	if (inOptions.IsBeginsWith()) {
		const VIndex common = std::min(inA.fLength, inB.fLength);
		inA = inA.CutTo(common);
		if (inCutBoth)
			inB = inB.CutTo(common);
	}
	return Compare(inA, inB, inOptions.IsDiacritical(), inOptions.IsLike(), inOptions.GetIntlManager());
}

// The value slots, named after what they compare.
template <bool kLike>
CompareResult CompareToValue(const VString& inThis, const VValue* inValue, bool inDiacritical, bool inBegining)
{
	const VString* other = AsString(inValue);
	if (other == nullptr)
		return CR_UNRELEVANT;
	Text text = TextOf(inThis);
	if (inBegining)
		text = text.CutTo(other->GetLength());
	return Compare(text, TextOf(*other), inDiacritical, kLike);
}

template <bool kLike>
bool EqualToValue(const VString& inThis, const VValue* inValue, bool inDiacritical)
{
	const VString* other = AsString(inValue);
	return other != nullptr && Equal(TextOf(inThis), TextOf(*other), inDiacritical, kLike);
}

} // namespace

// ---------------------------------------------------------------------------
// Against another string

CompareResult VString::CompareToSameKind(const VValue* inValue, bool inDiacritical) const
{
	return CompareToValue<false>(*this, inValue, inDiacritical, false);
}

CompareResult VString::CompareBeginingToSameKind(const VValue* inValue, bool inDiacritical) const
{
	return CompareToValue<false>(*this, inValue, inDiacritical, true);
}

bool VString::EqualToSameKind(const VValue* inValue, bool inDiacritical) const
{
	return EqualToValue<false>(*this, inValue, inDiacritical);
}

CompareResult VString::CompareToSameKind_Like(const VValue* inValue, bool inDiacritical) const
{
	return CompareToValue<true>(*this, inValue, inDiacritical, false);
}

CompareResult VString::CompareBeginingToSameKind_Like(const VValue* inValue, bool inDiacritical) const
{
	return CompareToValue<true>(*this, inValue, inDiacritical, true);
}

bool VString::EqualToSameKind_Like(const VValue* inValue, bool inDiacritical) const
{
	return EqualToValue<true>(*this, inValue, inDiacritical);
}

CompareResult VString::CompareToSameKindWithOptions(const VValue* inValue, const VCompareOptions& inOptions) const
{
	const VString* other = AsString(inValue);
	if (other == nullptr)
		return CR_UNRELEVANT;
	return CompareWithOptions(TextOf(*this), TextOf(*other), inOptions, false);
}

bool VString::EqualToSameKindWithOptions(const VValue* inValue, const VCompareOptions& inOptions) const
{
	// Equality looks at the whole texts: begins-with is a matter of order.
	const VString* other = AsString(inValue);
	return other != nullptr && Equal(TextOf(*this), TextOf(*other), inOptions.IsDiacritical(), inOptions.IsLike(),
									 inOptions.GetIntlManager());
}

bool VString::FromValueSameKind(const VValue* inValue)
{
	const VString* other = AsString(inValue);
	if (other == nullptr)
		return false;
	FromString(*other);
	return true;
}

CompareResult VString::CompareTo(const VValueSingle& inValue, bool inDiacritical) const
{
	VStr255 text;
	inValue.GetString(text);
	return Compare(TextOf(*this), TextOf(text), inDiacritical, false);
}

// ---------------------------------------------------------------------------
// Against a flat form

CompareResult VString::CompareToSameKindPtr(const void* inPtr, bool inDiacritical) const
{
	StFlatText flat(inPtr);
	return Compare(TextOf(*this), flat.Get(), inDiacritical, false);
}

CompareResult VString::Swap_CompareToSameKindPtr(const void* inPtr, bool inDiacritical) const
{
	StFlatText flat(inPtr);
	return Compare(flat.Get(), TextOf(*this), inDiacritical, false);
}

CompareResult VString::CompareBeginingToSameKindPtr(const void* inPtr, bool inDiacritical) const
{
	StFlatText flat(inPtr);
	return Compare(TextOf(*this).CutTo(flat.Get().fLength), flat.Get(), inDiacritical, false);
}

CompareResult VString::IsTheBeginingToSameKindPtr(const void* inPtr, bool inDiacritical) const
{
	StFlatText flat(inPtr);
	return Compare(TextOf(*this), flat.Get().CutTo(fLength), inDiacritical, false);
}

bool VString::EqualToSameKindPtr(const void* inPtr, bool inDiacritical) const
{
	StFlatText flat(inPtr);
	return Equal(TextOf(*this), flat.Get(), inDiacritical, false);
}

CompareResult VString::CompareToSameKindPtr_Like(const void* inPtr, bool inDiacritical) const
{
	StFlatText flat(inPtr);
	return Compare(TextOf(*this), flat.Get(), inDiacritical, true);
}

CompareResult VString::Swap_CompareToSameKindPtr_Like(const void* inPtr, bool inDiacritical) const
{
	StFlatText flat(inPtr);
	return Compare(flat.Get(), TextOf(*this), inDiacritical, true);
}

CompareResult VString::CompareBeginingToSameKindPtr_Like(const void* inPtr, bool inDiacritical) const
{
	StFlatText flat(inPtr);
	return Compare(TextOf(*this).CutTo(flat.Get().fLength), flat.Get(), inDiacritical, true);
}

CompareResult VString::IsTheBeginingToSameKindPtr_Like(const void* inPtr, bool inDiacritical) const
{
	StFlatText flat(inPtr);
	return Compare(TextOf(*this), flat.Get().CutTo(fLength), inDiacritical, true);
}

bool VString::EqualToSameKindPtr_Like(const void* inPtr, bool inDiacritical) const
{
	StFlatText flat(inPtr);
	return Equal(TextOf(*this), flat.Get(), inDiacritical, true);
}

bool VString::Swap_EqualToSameKindPtr_Like(const void* inPtr, bool inDiacritical) const
{
	StFlatText flat(inPtr);
	return Equal(flat.Get(), TextOf(*this), inDiacritical, true);
}

CompareResult VString::CompareToSameKindPtrWithOptions(const void* inPtr, const VCompareOptions& inOptions) const
{
	StFlatText flat(inPtr);
	return CompareWithOptions(TextOf(*this), flat.Get(), inOptions, true);
}

CompareResult VString::Swap_CompareToSameKindPtrWithOptions(const void* inPtr,
															 const VCompareOptions& inOptions) const
{
	StFlatText flat(inPtr);
	return CompareWithOptions(flat.Get(), TextOf(*this), inOptions, true);
}

bool VString::EqualToSameKindPtrWithOptions(const void* inPtr, const VCompareOptions& inOptions) const
{
	StFlatText flat(inPtr);
	return Equal(TextOf(*this), flat.Get(), inOptions.IsDiacritical(), inOptions.IsLike(),
				 inOptions.GetIntlManager());
}

// ---------------------------------------------------------------------------
// Two flat forms

CompareResult VString_info::CompareTwoPtrToData(const void* inPtr1, const void* inPtr2, bool inDiacritical) const
{
	StFlatText flat1(inPtr1);
	StFlatText flat2(inPtr2);
	return Compare(flat1.Get(), flat2.Get(), inDiacritical, false);
}

CompareResult VString_info::CompareTwoPtrToDataBegining(const void* inPtr1, const void* inPtr2,
														bool inDiacritical) const
{
	StFlatText flat1(inPtr1);
	StFlatText flat2(inPtr2);
	return Compare(flat1.Get().CutTo(flat2.Get().fLength), flat2.Get(), inDiacritical, false);
}

CompareResult VString_info::CompareTwoPtrToData_Like(const void* inPtr1, const void* inPtr2,
													 bool inDiacritical) const
{
	StFlatText flat1(inPtr1);
	StFlatText flat2(inPtr2);
	return Compare(flat1.Get(), flat2.Get(), inDiacritical, true);
}

CompareResult VString_info::CompareTwoPtrToDataBegining_Like(const void* inPtr1, const void* inPtr2,
															 bool inDiacritical) const
{
	StFlatText flat1(inPtr1);
	StFlatText flat2(inPtr2);
	return Compare(flat1.Get().CutTo(flat2.Get().fLength), flat2.Get(), inDiacritical, true);
}

CompareResult VString_info::CompareTwoPtrToDataWithOptions(const void* inPtr1, const void* inPtr2,
														   const VCompareOptions& inOptions) const
{
	StFlatText flat1(inPtr1);
	StFlatText flat2(inPtr2);
	return CompareWithOptions(flat1.Get(), flat2.Get(), inOptions, true);
}

VSize VString_info::GetSizeOfValueDataPtr(const void* inPtr) const
{
	return sizeof(int32) + 2 * static_cast<VSize>(FlatLength(inPtr));
}

} // namespace qirn
