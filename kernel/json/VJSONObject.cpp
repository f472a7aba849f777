#include "json/VJSONObject.h"


#include "core/VCompareOptions.h"
#include "json/IJSONClassStore.h"
#include "json/VJSONArray.h"
#include "json/VJSONClass.h"
#include "json/VJSONCloner.h"
#include "json/VJSONErrors.h"
#include "json/VJSONFunctionContext.h"
#include "json/VJSONGraph.h"
#include "json/VJSONPropertyIterator.h"
#include "json/VJSONStamp.h"
#include "json/VJSONWriter.h"
#include "json/VStorageLocker.h"
#include "runtime/VError.h"
#include "runtime/VTaskMgr.h"

namespace qirn {

std::atomic<int32> VJSONObject::sTaskToMonitor{0};
std::atomic<int32> VJSONObject::sTaskCounter{0};

namespace {

const VString& LockerIDName()
{
	static const VString sName("__LockerID");
	return sName;
}

VRefPtr<VStorageLocker> NewFreshLocker(bool inShared)
{
	if (!inShared)
		return nullptr;
	return VRefPtr<VStorageLocker>::Adopt(new VStorageLocker(false, true));
}

VJSONClass* ResolveClass(VJSONObject* inClassObject)
{
	if (inClassObject == nullptr) {
		if (IJSONClassStore* store = IJSONClassStore::GetProcessStore(); store != nullptr)
			inClassObject = store->GetObjectClassObject();
	}
	return VJSONClass::FromClassObject(inClassObject);
}

bool IsLengthName(const VString& inName)
{
	static const VString sLength("length");
	return inName.CompareToStringRawCase(sLength) == CR_EQUAL;
}

} // namespace

size_t VJSONNameHash::operator()(const VString& inName) const noexcept
{
	// FNV-1a over the code units.
	size_t hash = 14695981039346656037ull;
	const UniChar* units = inName.GetCPointer();
	for (VIndex i = 0, n = inName.GetLength(); i < n; ++i) {
		hash ^= units[i];
		hash *= 1099511628211ull;
	}
	return hash;
}

// ---------------------------------------------------------------------------
// Life

VJSONObject::VJSONObject(VJSONObject* inClassObject, IJSONObject* inImpl, VStorageLocker* inLocker, bool inInternal)
: VJSONObject(WithClass{}, ResolveClass(inClassObject), inImpl, inLocker, inInternal)
{
}

VJSONObject::VJSONObject(WithClass, VJSONClass* inClass, IJSONObject* inImpl, VStorageLocker* inLocker,
						 bool inInternal)
: VJSONContainer(false), fImpl(inImpl), fClass(inClass), fInternal(inInternal)
{
	if (fImpl != nullptr)
		fImpl->Retain();
	if (inLocker != nullptr) {
		inLocker->Retain();
		fLocker.store(inLocker, std::memory_order_release);
	}
	if (int32 task = sTaskToMonitor.load(std::memory_order_relaxed);
		!fInternal && task != 0 && task == VTaskMgr::GetCurrentTaskID())
		sTaskCounter.fetch_add(1, std::memory_order_relaxed);
	if (fClass != nullptr)
		fClass->UseClassObject();
	if (fImpl != nullptr)
		fImpl->IJSON_DoConnectDependencies(this);
}

VJSONObject::VJSONObject(VJSONObject* inClassObject, IJSONObject* inImpl, bool inShared)
: VJSONObject(inClassObject, inImpl, NewFreshLocker(inShared).Get(), false)
{
}

VRefPtr<VJSONObject> VJSONObject::_CreateWithoutClass(IJSONObject* inImpl, bool inShared)
{
	VRefPtr<VStorageLocker> locker = NewFreshLocker(inShared);
	return VRefPtr<VJSONObject>::Adopt(new VJSONObject(WithClass{}, nullptr, inImpl, locker.Get(), false));
}

VJSONObject::~VJSONObject()
{
	if (fImpl != nullptr)
		fImpl->IJSON_DoDisconnectDependencies(this);
	_LeaveGraph();
	if (fImpl != nullptr)
		fImpl->Release();
	if (int32 task = sTaskToMonitor.load(std::memory_order_relaxed);
		!fInternal && task != 0 && task == VTaskMgr::GetCurrentTaskID())
		sTaskCounter.fetch_sub(1, std::memory_order_relaxed);
	// Last: the class object may go with it, and the class with its
	// prototype and functions.
	_DetachClass();
}

void VJSONObject::_GetChildValues(void (*inFn)(const VJSONValue&, void*), void* inContext) const
{
	for (const auto& entry : fProperties)
		inFn(entry.second.first, inContext);
}

void VJSONObject::ClearFromGraph()
{
	_DisconnectAll();
	_DropProperties();
}

void VJSONObject::_DropProperties()
{
	PropertyMap properties;
	properties.swap(fProperties);
}

void VJSONObject::_DropValuesFromGraph()
{
	PropertyMap properties;
	properties.swap(fProperties);
	for (auto& entry : properties) {
		VJSONValue value = std::move(entry.second.first);
		VJSONGraph::Disconnect(_GetGraph(), value);
	}
}

bool VJSONObject::_IsSharedOrSharable() const
{
	if (_GetStorageLocker() != nullptr)
		return true;
	bool flag = false;
	return fImpl != nullptr && fImpl->IJSON_IsSharable(this, flag);
}

bool VJSONObject::IsShared() const
{
	return _IsSharedOrSharable();
}

void VJSONObject::_StampChanged(VJSONStamp* inStamp)
{
	if (fImpl != nullptr)
		fImpl->IJSON_SetJSONStamp(inStamp);
}

bool VJSONObject::_CheckInUse() const
{
	VStorageLocker* locker = _GetStorageLocker();
	if (locker == nullptr || locker->IsUsedByCurrentTask())
		return true;
	_ThrowError(VE_JSON_OBJECT_NOT_IN_USE);
	return false;
}

// ---------------------------------------------------------------------------
// Reading

VJSONValue VJSONObject::GetProperty(const VString& inName, VDBLanguageContext* inContext) const
{
	VJSONValue result(JSON_undefined);
	{
		VJSONReadLock lock(_GetStorageLocker());
		if (fImpl != nullptr && fImpl->IJSON_GetProperty(this, inName, result, inContext) != eJSONStatus_NotHandled)
			return result;
		result = _GetOwnProperty(inName);
	}
	// The class answers for what the object lacks, outside the object's
	// locks: a getter runs code of its own.
	if (!result.IsUndefined() || fClass == nullptr)
		return result;
	if (VJSONObject* method = fClass->GetFunction(inName); method != nullptr)
		return VJSONValue(method);
	if (VJSONObject* getter = fClass->GetGetter(inName); getter != nullptr)
		getter->CallAsFunction(const_cast<VJSONObject*>(this), nullptr, nullptr, result, nullptr, inContext);
	return result;
}

VJSONValue VJSONObject::GetOwnProperty(const VString& inName) const
{
	VJSONReadLock lock(_GetStorageLocker());
	return _GetOwnProperty(inName);
}

VJSONValue VJSONObject::_GetOwnProperty(const VString& inName) const
{
	if (_GetStorageLocker() != nullptr && inName.EqualToStringRaw(LockerIDName()))
		return VJSONValue(static_cast<double>(GetSharedID()));
	auto found = fProperties.find(inName);
	if (found == fProperties.end())
		return VJSONValue(JSON_undefined);
	return VJSONValue(found->second.first);
}

bool VJSONObject::HasProperty(const VString& inName, VDBLanguageContext* inContext) const
{
	{
		VJSONReadLock lock(_GetStorageLocker());
		EJSONStatus status = eJSONStatus_NotHandled;
		if (fImpl != nullptr) {
			VJSONValue scratch(JSON_undefined);
			status = fImpl->IJSON_GetProperty(this, inName, scratch, inContext);
			if (status == eJSONStatus_Handled && !scratch.IsUndefined())
				return true;
		}
		if (status == eJSONStatus_NotHandled && _HasOwnProperty(inName))
			return true;
	}
	// The prototypes up the superclasses, as the functions map holds the
	// inherited methods too: a method GetProperty finds is a property the
	// object has. Outside the object's locks, as a prototype has a locker of
	// its own.
	for (const VJSONClass* walk = fClass; walk != nullptr; walk = walk->GetSuperClass()) {
		if (walk->GetPrototype()->HasProperty(inName))
			return true;
	}
	return false;
}

bool VJSONObject::HasOwnProperty(const VString& inName) const
{
	VJSONReadLock lock(_GetStorageLocker());
	return _HasOwnProperty(inName);
}

bool VJSONObject::_HasOwnProperty(const VString& inName) const
{
	if (_GetStorageLocker() != nullptr && inName.EqualToStringRaw(LockerIDName()))
		return true;
	return fProperties.find(inName) != fProperties.end();
}

VJSONValue VJSONObject::GetPropertyByIndex(size_t inIndex, EJSONStatus* outStatus) const
{
	VJSONValue result(JSON_undefined);
	EJSONStatus status = eJSONStatus_NotHandled;
	{
		VJSONReadLock lock(_GetStorageLocker());
		if (fImpl != nullptr)
			status = fImpl->IJSON_GetPropertyByIndex(this, inIndex, result);
	}
	if (outStatus != nullptr)
		*outStatus = status;
	return result;
}

size_t VJSONObject::GetCountPropertiesByIndex(EJSONStatus* outStatus) const
{
	size_t count = 0;
	EJSONStatus status = eJSONStatus_NotHandled;
	{
		VJSONReadLock lock(_GetStorageLocker());
		if (fImpl != nullptr)
			status = fImpl->IJSON_GetCountPropertiesByIndex(this, &count);
	}
	if (outStatus != nullptr)
		*outStatus = status;
	return status == eJSONStatus_NotHandled ? 0 : count;
}

VJSONObject::PropertyMap VJSONObject::GetInternalProperties() const
{
	VJSONReadLock lock(_GetStorageLocker());
	return fProperties;
}

size_t VJSONObject::GetOwnPropertyCount() const
{
	VJSONReadLock lock(_GetStorageLocker());
	return fProperties.size();
}

bool VJSONObject::IsEmpty() const
{
	{
		VJSONReadLock lock(_GetStorageLocker());
		if (!fProperties.empty())
			return false;
	}
	if (fImpl != nullptr && !fImpl->IJSON_IsEmpty(this))
		return false;
	return fClass == nullptr || !fClass->HasGetters();
}

void VJSONObject::GetClassName(VString& outName) const
{
	if (fImpl != nullptr) {
		VString name;
		EJSONStatus status = fImpl->IJSON_GetClassName(this, name);
		if (status != eJSONStatus_NotHandled && !name.IsNull() && !name.IsEmpty()) {
			outName.FromString(name);
			return;
		}
	}
	if (fClass != nullptr && !fClass->GetName().IsEmpty()) {
		outName.FromString(fClass->GetName());
		return;
	}
	outName.FromCString(_GetStorageLocker() != nullptr ? "Shared Object" : "Object");
}

// ---------------------------------------------------------------------------
// Class

VJSONObject* VJSONObject::GetClassObject() const
{
	return fClass != nullptr ? fClass->GetClassObject() : nullptr;
}

VJSONObject* VJSONObject::_GetPrototype() const
{
	return fClass != nullptr ? fClass->GetPrototype() : nullptr;
}

void VJSONObject::_SetClass(VJSONClass* inClass)
{
	if (inClass == nullptr || inClass == fClass)
		return;
	inClass->UseClassObject();
	if (VJSONClass* old = std::exchange(fClass, inClass); old != nullptr)
		old->UnuseClassObject();
}

void VJSONObject::_DetachClass()
{
	if (VJSONClass* old = std::exchange(fClass, nullptr); old != nullptr)
		old->UnuseClassObject();
}

bool VJSONObject::IsGenericObject() const
{
	return fClass == nullptr || fClass->GetDepth() == 0;
}

bool VJSONObject::IsInstanceOf(const VJSONClass* inClass) const
{
	return fClass != nullptr && inClass != nullptr && fClass->DerivesFrom(inClass);
}

bool VJSONObject::IsInstanceOf(const VJSONObject* inClassObject) const
{
	const VJSONClass* theClass = VJSONClass::FromClassObject(inClassObject);
	if (theClass == nullptr) {
		_ThrowError(VE_JSON_NOT_A_CLASS_OBJECT);
		return false;
	}
	return IsInstanceOf(theClass);
}

EJSONStatus VJSONObject::CallAsFunction(VJSONObject* inThisObject, VJSONArray* inThisArray,
										std::vector<VJSONValue>* inParameters, VJSONValue& outResult,
										CDBQXBaseContext* inBaseContext, VDBLanguageContext* inContext) const
{
	if (fImpl == nullptr)
		return eJSONStatus_NotHandled;
	VJSONFunctionContext context(inThisObject, inThisArray, nullptr);
	context.SetParameters(inParameters);
	context.SetContexts(inBaseContext, inContext);
	context.SetScope(const_cast<VJSONObject*>(this), inThisObject);
	EJSONStatus status = fImpl->IJSON_CallAsFunction(this, &context);
	context.GetResult(outResult);
	return status;
}

// ---------------------------------------------------------------------------
// Paths

bool VJSONObject::isvalidnumber(const VString& inText)
{
	for (VIndex i = 1, n = inText.GetLength(); i <= n; ++i) {
		UniChar unit = inText.GetUniChar(i);
		if (unit < u'0' || unit > u'9')
			return false;
	}
	return true;
}

VError VJSONObject::ExtractPath(const VString& inPath, std::vector<VString>& outNames)
{
	outNames.clear();
	std::vector<VString> parts;
	inPath.GetSubStrings(u'.', parts, true, true);
	if (parts.empty())
		parts.emplace_back();
	for (const VString& part : parts) {
		if (part.FindUniChar(u'[') == 0) {
			if (part.IsEmpty()) {
				_ThrowError(VE_JSON_PATH_EMPTY_NAME);
				return VE_JSON_PATH_EMPTY_NAME;
			}
			outNames.push_back(part);
			continue;
		}
		std::vector<VString> pieces;
		part.GetSubStrings(u'[', pieces, true, true);
		for (size_t i = 0; i < pieces.size(); ++i) {
			VString piece = pieces[i];
			if (i > 0) {
				if (piece.GetUniChar(piece.GetLength()) != u']') {
					_ThrowError(VE_JSON_PATH_MISSING_BRACKET);
					return VE_JSON_PATH_MISSING_BRACKET;
				}
				piece.Truncate(piece.GetLength() - 1);
			}
			if (piece.IsEmpty()) {
				_ThrowError(VE_JSON_PATH_EMPTY_NAME);
				return VE_JSON_PATH_EMPTY_NAME;
			}
			outNames.push_back(piece);
		}
	}
	return VE_OK;
}

VJSONValue VJSONObject::GetPropertyWithPath(const VString& inPath, VDBLanguageContext* inContext) const
{
	std::vector<VString> names;
	if (ExtractPath(inPath, names) != VE_OK)
		return VJSONValue(JSON_undefined);
	return GetPropertyWithPath(names, inContext);
}

VJSONValue VJSONObject::GetPropertyWithPath(const std::vector<VString>& inNames, VDBLanguageContext* inContext) const
{
	VJSONValue current(const_cast<VJSONObject*>(this));
	for (const VString& name : inNames) {
		if (VJSONObject* object = current.GetObject(); object != nullptr) {
			current = object->GetProperty(name, inContext);
		} else if (VJSONArray* array = current.GetArray(); array != nullptr) {
			if (IsLengthName(name)) {
				current = VJSONValue(static_cast<double>(array->GetCount()));
			} else {
				int32 index = name.GetLong();
				if (index < 0 || static_cast<size_t>(index) >= array->GetCount())
					current = VJSONValue(JSON_undefined);
				else
					current = array->GetAt(static_cast<size_t>(index));
			}
		} else {
			return VJSONValue(JSON_undefined);
		}
	}
	return current;
}

bool VJSONObject::SetPropertyWithPath(const VString& inPath, const VJSONValue& inValue, VDBLanguageContext* inContext)
{
	std::vector<VString> names;
	if (ExtractPath(inPath, names) != VE_OK)
		return false;
	VJSONValue current(this);
	for (size_t i = 0; i < names.size(); ++i) {
		const VString& name = names[i];
		const bool last = (i + 1 == names.size());
		// A missing container is an array before a name of digits.
		auto newContainer = [&]() {
			return isvalidnumber(names[i + 1]) ? VJSONValue(JSON_array) : VJSONValue(JSON_object);
		};
		if (VJSONObject* object = current.GetObject(); object != nullptr) {
			if (last)
				return object->SetProperty(name, inValue, inContext);
			VJSONValue child = object->GetProperty(name, inContext);
			if (child.IsUndefined() || child.IsNull())
				child = newContainer();
			if (!object->SetProperty(name, child, inContext))
				return false;
			current = std::move(child);
		} else if (VJSONArray* array = current.GetArray(); array != nullptr) {
			int32 index = name.GetLong();
			if (index >= 0 && array->GetCount() <= static_cast<size_t>(index) &&
				!array->Resize(static_cast<size_t>(index) + 1, JSON_null))
				return false;
			if (last)
				return index < 0 || array->SetAt(static_cast<size_t>(index), inValue, false);
			VJSONValue child = index >= 0 ? array->GetAt(static_cast<size_t>(index)) : VJSONValue(JSON_undefined);
			if (child.IsUndefined() || child.IsNull()) {
				child = newContainer();
				if (index >= 0 && !array->SetAt(static_cast<size_t>(index), child, false))
					return false;
			}
			current = std::move(child);
		} else {
			// A scalar on the way: nothing can be set below it.
			const VString& previous = i > 0 ? names[i - 1] : VString::sEmpty;
			_ThrowError(isvalidnumber(name) ? VE_JSON_PATH_INDEX_ON_SCALAR : VE_JSON_PATH_NAME_ON_SCALAR, &previous);
			return false;
		}
	}
	return true;
}

// ---------------------------------------------------------------------------
// Writing

bool VJSONObject::SetProperty(const VString& inName, const VJSONValue& inValue, VDBLanguageContext* inContext)
{
	if (inValue.IsUndefined()) {
		RemoveProperty(inName);
		return true;
	}
	if (fImpl != nullptr) {
		EJSONStatus status = fImpl->IJSON_SetProperty(this, inName, inValue, inContext);
		if (status != eJSONStatus_NotHandled)
			return status == eJSONStatus_Handled;
	}
	if (fClass != nullptr && fClass->HasSetters()) {
		if (VJSONObject* setter = fClass->GetSetter(inName); setter != nullptr) {
			std::vector<VJSONValue> parameters{inValue};
			VJSONValue result(JSON_undefined);
			EJSONStatus status = setter->CallAsFunction(this, nullptr, &parameters, result, nullptr, inContext);
			if (status != eJSONStatus_NotHandled)
				return status == eJSONStatus_Handled;
		}
	}
	VJSONReadWriteLock lock(_GetStorageLocker(), _MustLockGraphForChange(&inValue));
	return _SetOwnProperty(inName, inValue);
}

bool VJSONObject::SetOwnProperty(const VString& inName, const VJSONValue& inValue)
{
	if (inValue.IsUndefined()) {
		RemoveOwnProperty(inName);
		return true;
	}
	VJSONReadWriteLock lock(_GetStorageLocker(), _MustLockGraphForChange(&inValue));
	return _SetOwnProperty(inName, inValue);
}

bool VJSONObject::_SetOwnProperty(const VString& inName, const VJSONValue& inValue)
{
	if (VStorageLocker* locker = _GetStorageLocker(); locker != nullptr) {
		if (inName.EqualToStringRaw(LockerIDName()))
			return false;
		if (!_CheckInUse())
			return false;
		if (VJSONContainer::FromValue(inValue) != nullptr) {
			if (!VStorageLocker::Assign(this, locker, inValue))
				return false;
		} else if (locker->IsContainersOnly() && !inValue.IsNull() && !inValue.IsUndefined()) {
			_ThrowError(VE_JSON_SCALAR_IN_CONTAINERS_ONLY);
			return false;
		}
	}
	VJSONValue old(JSON_undefined);
	auto found = fProperties.find(inName);
	if (found == fProperties.end()) {
		uint64 index = fProperties.size();
		fProperties.emplace(std::piecewise_construct, std::forward_as_tuple(inName),
							std::forward_as_tuple(inValue, index));
	} else {
		// The entry keeps its place in the order.
		old = std::move(found->second.first);
		found->second.first = inValue;
	}
	VJSONGraph::Connect(this, inValue);
	// The old value leaves the graph while it is still held here, so that a
	// cycle only it reached is broken before it is released.
	VJSONGraph::Disconnect(_GetGraph(), old);
	VJSONValue::CheckAndUpdateJsonStamp(inValue, fStamp);
	return true;
}

bool VJSONObject::_SetParsedProperty(const VString& inName, VJSONValue&& ioValue)
{
	if (ioValue.IsUndefined() || fImpl != nullptr || (fClass != nullptr && fClass->HasSetters()) ||
		_GetStorageLocker() != nullptr || _MustLockGraphForChange(&ioValue))
		return SetProperty(inName, ioValue);
	auto [entry, inserted] = fProperties.try_emplace(inName, std::move(ioValue), fProperties.size());
	if (!inserted)
		return _SetOwnProperty(inName, ioValue);
	VJSONGraph::Connect(this, entry->second.first);
	VJSONValue::CheckAndUpdateJsonStamp(entry->second.first, fStamp);
	return true;
}

void VJSONObject::_RemoveInternalProperty(PropertyMap::iterator inEntry)
{
	const uint64 index = inEntry->second.second;
	VJSONValue value = std::move(inEntry->second.first);
	fProperties.erase(inEntry);
	for (auto& entry : fProperties) {
		if (entry.second.second > index)
			--entry.second.second;
	}
	VJSONGraph::Disconnect(_GetGraph(), value);
}

bool VJSONObject::RemoveProperty(const VString& inName)
{
	if (fImpl != nullptr) {
		EJSONStatus status = fImpl->IJSON_RemoveProperty(this, inName);
		if (status != eJSONStatus_NotHandled)
			return status == eJSONStatus_Handled;
	}
	return RemoveOwnProperty(inName);
}

bool VJSONObject::RemoveOwnProperty(const VString& inName)
{
	VJSONReadWriteLock lock(_GetStorageLocker(), _MustLockGraphForChange(nullptr));
	return _RemoveOwnProperty(inName);
}

bool VJSONObject::_RemoveOwnProperty(const VString& inName)
{
	if (!_CheckInUse())
		return false;
	if (fStamp != nullptr)
		fStamp->Touch();
	auto found = fProperties.find(inName);
	if (found != fProperties.end())
		_RemoveInternalProperty(found);
	return true;
}

bool VJSONObject::ClearProperty(const VString& inName, VDBLanguageContext* inContext)
{
	VJSONValue value = GetProperty(inName, inContext);
	if (value.IsUndefined())
		return true;
	value.Clear();
	return SetProperty(inName, value, inContext);
}

void VJSONObject::Clear()
{
	if (fImpl != nullptr)
		fImpl->IJSON_Clear(this);
	ClearInternalProperties();
}

bool VJSONObject::ClearInternalProperties()
{
	VJSONReadWriteLock lock(_GetStorageLocker(), _MustLockGraphForChange(nullptr));
	if (!_CheckInUse())
		return false;
	// Each value leaves as a removed property does: a cycle that only this
	// object reached is broken now rather than when the object goes.
	_DropValuesFromGraph();
	if (fStamp != nullptr)
		fStamp->Touch();
	return true;
}

bool VJSONObject::SetProperties(const std::vector<std::pair<VString, VJSONValue>>& inProperties,
								VDBLanguageContext* inContext)
{
	if (inProperties.empty())
		return true;
	if (fImpl != nullptr && fImpl->IJSON_BeginChangeProperties() == eJSONStatus_Failed)
		return false;
	bool ok = true;
	for (const auto& property : inProperties) {
		if (!SetProperty(property.first, property.second, inContext)) {
			ok = false;
			break;
		}
	}
	if (fImpl != nullptr && fImpl->IJSON_EndChangeProperties() == eJSONStatus_Failed)
		ok = false;
	return ok;
}

bool VJSONObject::SetPropertiesWithPaths(const std::vector<std::pair<VString, VJSONValue>>& inProperties,
										 VDBLanguageContext* inContext)
{
	bool ok = true;
	for (const auto& property : inProperties) {
		ok = SetPropertyWithPath(property.first, property.second, inContext);
		if (!ok)
			break;
	}
	return ok;
}

VError VJSONObject::MergeWith(const VJSONObject* inOther, bool inOnlyMissing)
{
	if (inOther == nullptr)
		return VE_OK;
	for (VJSONPropertyConstOrderedIterator it(inOther, 0); it.IsValid(); ++it) {
		if (!inOnlyMissing || !HasOwnProperty(it.GetName()))
			SetProperty(it.GetName(), it.GetValue(), nullptr);
	}
	return VE_OK;
}

VError VJSONObject::Clone(VJSONValue& outValue, VJSONCloner& ioCloner) const
{
	if (ioCloner.GetMode() == VJSONCloner::kModeKeepShared && IsShared()) {
		outValue.SetObject(const_cast<VJSONObject*>(this));
		return VE_OK;
	}
	VRefPtr<IJSONObject> impl;
	if (fImpl != nullptr) {
		VError error = VE_OK;
		EJSONStatus status = fImpl->IJSON_CloneImpl(this, ioCloner, impl, &error);
		if (status == eJSONStatus_Failed)
			return error;
		if (status == eJSONStatus_NotHandled) {
			status = fImpl->IJSON_Clone(this, ioCloner, outValue, &error);
			if (status != eJSONStatus_NotHandled)
				return error;
		}
	}
	// The same class, none included: an object of no class does not become
	// one of the store's "Object".
	VRefPtr<VJSONObject> clone =
		VRefPtr<VJSONObject>::Adopt(new VJSONObject(WithClass{}, fClass, impl.Get(), nullptr, false));
	clone->fConstructionLevel = fConstructionLevel;
	if (ioCloner.GetMode() == VJSONCloner::kModeOneLocker)
		clone->SetStorageLocker(ioCloner.GetStorageLockerAndAssignIfNecessary());
	VJSONUser user(clone.Get(), false);
	outValue.SetObject(clone.Get());
	return CloneProperties(ioCloner, clone.Get());
}

VError VJSONObject::CloneProperties(VJSONCloner& ioCloner, VJSONObject* ioTarget) const
{
	if (ioTarget == nullptr)
		return VE_OK;
	ioTarget->ClearInternalProperties();
	for (VJSONPropertyConstOrderedIterator it(this, 3); it.IsValid(); ++it) {
		VJSONValue value = it.GetValue();
		if (VError error = ioCloner.CloneValue(value); error != VE_OK)
			return error;
		ioTarget->SetOwnProperty(it.GetName(), value);
	}
	return VE_OK;
}

void VJSONObject::ConnectImplementationProperty(const VJSONValue& inValue)
{
	StGraphLocker lock(_MustLockGraphForChange(&inValue));
	VJSONGraph::Connect(this, inValue);
}

void VJSONObject::DisconnectImplementationProperty(const VJSONValue& inValue)
{
	StGraphLocker lock(_MustLockGraphForChange(&inValue));
	VJSONGraph::Disconnect(_GetGraph(), inValue);
}

// ---------------------------------------------------------------------------
// Comparison

bool VJSONObject::DeepEqualTo(const VJSONObject* inOther, const VCompareOptions& inOptions) const
{
	VJSONDeepEqualPairs pairs;
	return _DeepEqualTo(inOther, inOptions, pairs);
}

bool VJSONObject::_DeepEqualTo(const VJSONObject* inOther, const VCompareOptions& inOptions,
							   VJSONDeepEqualPairs& ioPairs) const
{
	if (bool equal = false; _DeepEqualSettled(inOther, ioPairs, equal))
		return equal;
	VJSONReadLock lock(_GetStorageLocker());
	VJSONReadLock otherLock(inOther->_GetStorageLocker());
	if (fImpl != nullptr) {
		bool equal = false;
		EJSONStatus status = fImpl->IJSON_DeepEqualTo(this, inOther, &equal);
		if (status == eJSONStatus_Handled)
			return equal;
		if (status == eJSONStatus_Failed)
			return false;
	}
	if (fProperties.size() != inOther->fProperties.size())
		return false;
	for (const auto& entry : fProperties) {
		auto found = inOther->fProperties.find(entry.first);
		if (found == inOther->fProperties.end())
			return false;
		if (!entry.second.first._DeepEqualTo(found->second.first, inOptions, ioPairs))
			return false;
	}
	return true;
}

// ---------------------------------------------------------------------------
// Stamps

uint32 VJSONObject::GetPropertyStamp(const VString& inName) const
{
	uint32 stamp = 0;
	if (fImpl == nullptr || fImpl->IJSON_GetPropertyStamp(inName, &stamp) == eJSONStatus_NotHandled) {
		VJSONReadLock lock(_GetStorageLocker());
		auto found = fProperties.find(inName);
		stamp = found == fProperties.end() ? 0 : found->second.first.GetStamp();
	}
	// A getter's value may change with anything in the object: the object's
	// counter stands for it.
	if (fClass != nullptr && fClass->GetGetter(inName) != nullptr)
		return const_cast<VJSONObject*>(this)->_GetStampCounterMakingStamp();
	return stamp;
}

void VJSONObject::TouchPropertyStamp(const VString& inName)
{
	VJSONReadLock lock(_GetStorageLocker());
	if (fImpl != nullptr && fImpl->IJSON_TouchPropertyStamp(inName) != eJSONStatus_NotHandled)
		return;
	if (fStamp != nullptr)
		fStamp->Touch();
	if (auto found = fProperties.find(inName); found != fProperties.end())
		found->second.first._NewStamp();
}

uint32 VJSONObject::GetPropertyStampWithPath(const VString& inPath) const
{
	std::vector<VString> names;
	if (ExtractPath(inPath, names) != VE_OK || names.empty())
		return 0;
	if (names.size() == 1)
		return GetPropertyStamp(names[0]);
	VString last = names.back();
	names.pop_back();
	VJSONValue holder = GetPropertyWithPath(names, nullptr);
	if (VJSONObject* object = holder.GetObject(); object != nullptr)
		return object->GetPropertyStamp(last);
	if (VJSONArray* array = holder.GetArray(); array != nullptr) {
		if (IsLengthName(last))
			return static_cast<uint32>(array->GetCount());
		int32 index = last.GetLong();
		if (index < 0 || static_cast<size_t>(index) >= array->GetCount())
			return 0;
		return array->GetStampAt(static_cast<size_t>(index));
	}
	return 0;
}

void VJSONObject::TouchPropertyStampWithPath(const VString& inPath)
{
	std::vector<VString> names;
	if (ExtractPath(inPath, names) != VE_OK || names.empty())
		return;
	if (names.size() == 1) {
		TouchPropertyStamp(names[0]);
		return;
	}
	VString last = names.back();
	names.pop_back();
	VJSONValue holder = GetPropertyWithPath(names, nullptr);
	if (VJSONObject* object = holder.GetObject(); object != nullptr) {
		object->TouchPropertyStamp(last);
	} else if (VJSONArray* array = holder.GetArray(); array != nullptr && !IsLengthName(last)) {
		int32 index = last.GetLong();
		if (index >= 0 && static_cast<size_t>(index) < array->GetCount())
			array->TouchStampAt(static_cast<size_t>(index));
	}
}

// ---------------------------------------------------------------------------
// Description

void VJSONObject::GetDescription(VString& outText, bool inTruncate, VDBLanguageContext* inContext) const
{
	if (fImpl != nullptr && fImpl->IJSON_GetDescription(this, outText) != eJSONStatus_NotHandled)
		return;
	VJSONReadLock lock(_GetStorageLocker());
	VJSONWriter writer(inContext, VJSONWriter::kOption_Quotes | (inTruncate ? VJSONWriter::kOption_Truncate : 0));
	writer.StringifyObject(this, outText);
}

} // namespace qirn
