#include "files/VFile.h"
#include "json/IJSONFunctionContext.h"
#include "json/VJSONClass.h"
#include "json/VJSONClassStore.h"
#include "json/VJSONErrors.h"
#include "json/VJSONMemberFunction.h"
#include "json/VJSONPropertyIterator.h"
#include "json/tests/JSONScopedClassStore.h"
#include "testing/RaisedErrors.h"
#include "testing/TempFolder.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

namespace qirn {
namespace {

using testing::RaisedErrors;
using testing::ScopedClassStore;
using testing::U;

std::string Text(const VString& inText)
{
	return to_string(inText);
}

std::string Text(const VJSONValue& inValue)
{
	VString text;
	inValue.GetString(text);
	return to_string(text);
}

std::vector<std::string> Sorted(std::vector<VString> inNames)
{
	std::vector<std::string> names;
	for (const VString& name : inNames)
		names.push_back(Text(name));
	std::sort(names.begin(), names.end());
	return names;
}

std::string NameOf(const VJSONObject* inClassObject)
{
	const VJSONClass* theClass = VJSONClass::FromClassObject(inClassObject);
	return theClass != nullptr ? Text(theClass->GetName()) : std::string("(none)");
}

// The names the store shows as a JSON object.
std::vector<std::string> PropertyNames(VJSONObject* inObject)
{
	std::vector<VString> names;
	for (VJSONPropertyConstIterator it(inObject); it.IsValid(); ++it)
		names.push_back(it.GetName());
	return Sorted(names);
}

VRefPtr<VJSONObject> Wrap(VJSONClassStore* inStore)
{
	return VJSONObject::_CreateWithoutClass(inStore, false);
}

VRefPtr<VJSONClassStore> NewStore(const char* inName)
{
	return VRefPtr<VJSONClassStore>::Adopt(new VJSONClassStore(U(inName)));
}

VRefPtr<VJSONObject> NewClass(const char* inName, uint32 inFlags = 0, IFile* inFile = nullptr)
{
	return VJSONClass::Create(U(inName), nullptr, inFile, U("qx"), inFlags);
}

class JSONClassStore : public ::testing::Test {
protected:
	ScopedClassStore fScope;
	VJSONClassStore* fStore = fScope.Get();
};

TEST_F(JSONClassStore, TheRootClassesAreVisibleAndLinked)
{
	EXPECT_EQ(fStore->GetCount(), 3u);
	EXPECT_EQ(PropertyNames(Wrap(fStore).Get()), (std::vector<std::string>{"Class", "Function", "Object"}));
	VJSONObject* object = fStore->GetObjectClassObject();
	VJSONObject* classClass = fStore->GetClassClassObject();
	VJSONObject* function = fStore->GetFunctionClassObject();
	EXPECT_EQ(fStore->GetVisibleClassObject(U("Object")).Get(), object);
	EXPECT_EQ(fStore->GetClassObject(U("Class")).Get(), classClass);
	EXPECT_EQ(fStore->GetClassObject(U("Function")).Get(), function);
	for (VJSONObject* root : {object, classClass, function}) {
		SCOPED_TRACE(NameOf(root));
		EXPECT_EQ(root->GetClassObject(), classClass);
		EXPECT_TRUE(VJSONClass::FromClassObject(root)->AreFunctionsSet());
		EXPECT_EQ(Text(VJSONClass::FromClassObject(root)->GetStoreName()), "qx");
	}
	EXPECT_EQ(VJSONClass::FromClassObject(classClass)->GetSuperClassObject(), object);
	EXPECT_EQ(VJSONClass::FromClassObject(function)->GetSuperClassObject(), object);
	EXPECT_EQ(object->_GetConstructionLevel(), 1u);
	EXPECT_EQ(classClass->_GetConstructionLevel(), 2u);

	// Their members, each a function object of "Function" named after its
	// class; "Object" has none.
	struct Member {
		VJSONObject* owner;
		const char* name;
		const char* fullName;
	};
	for (const Member& member : {Member{classClass, "new", "Class.new"}, Member{function, "apply", "Function.apply"},
								 Member{function, "call", "Function.call"}}) {
		SCOPED_TRACE(member.name);
		VJSONObject* found = VJSONClass::FromClassObject(member.owner)->GetFunction(U(member.name));
		ASSERT_NE(found, nullptr);
		EXPECT_EQ(found->GetClassObject(), function);
		EXPECT_EQ(Text(found->GetProperty(U("_description"))), member.fullName);
		EXPECT_EQ(VJSONClass::FromClassObject(member.owner)->GetPrototype()->GetOwnProperty(U(member.name)).GetObject(),
				  found);
	}
	EXPECT_TRUE(VJSONClass::FromClassObject(object)->GetPrototype()->IsEmpty());
	// A class object reads "new" through its class; a function object
	// reads "call".
	VRefPtr<VJSONObject> shape = NewClass("Shape");
	EXPECT_TRUE(shape->GetProperty(U("new")).IsObject());
	EXPECT_TRUE(VJSONClass::FromClassObject(function)->GetFunction(U("new")) == nullptr);
	EXPECT_TRUE(
		VJSONClass::FromClassObject(classClass)->GetFunction(U("new"))->GetProperty(U("call")).IsObject());

	// Made once: a second call changes nothing.
	fStore->AddRootClasses();
	EXPECT_EQ(fStore->GetCount(), 3u);
	EXPECT_EQ(fStore->GetObjectClassObject(), object);
	EXPECT_EQ(fStore->GetClassObject(U("Object")).Get(), object);
}

// The store makes its roots itself, whatever store the process answers.
TEST_F(JSONClassStore, ASecondStoreMakesItsOwnRoots)
{
	VRefPtr<VJSONClassStore> other = NewStore("other");
	other->AddRootClasses();
	for (VJSONObject* root : {other->GetObjectClassObject(), other->GetClassClassObject(),
							  other->GetFunctionClassObject()}) {
		SCOPED_TRACE(NameOf(root));
		EXPECT_EQ(root->GetClassObject(), other->GetClassClassObject());
		EXPECT_EQ(Text(VJSONClass::FromClassObject(root)->GetStoreName()), "other");
	}
	EXPECT_EQ(VJSONClass::FromClassObject(other->GetClassClassObject())->GetSuperClassObject(),
			  other->GetObjectClassObject());
	EXPECT_EQ(VJSONClass::FromClassObject(other->GetObjectClassObject())->GetSuperClass(), nullptr);
	VJSONObject* call = VJSONClass::FromClassObject(other->GetFunctionClassObject())->GetFunction(U("call"));
	EXPECT_EQ(call->GetClassObject(), other->GetFunctionClassObject());
}

TEST_F(JSONClassStore, AddingReplacesHidesAndIgnoresWhatIsNoClass)
{
	VRefPtr<VJSONObject> first = NewClass("Shape");
	VRefPtr<VJSONObject> second = NewClass("Shape");
	VRefPtr<VJSONObject> hidden = NewClass("Secret");
	fStore->AddClass(first.Get(), 0);
	fStore->AddClass(second.Get(), 0);
	fStore->AddClass(hidden.Get(), VJSONClassStore::kAddHidden);
	fStore->AddClass(testing::NewObject().Get(), 0);
	fStore->AddClass(nullptr, 0);
	EXPECT_EQ(fStore->GetCount(), 5u);
	EXPECT_EQ(fStore->GetClassObject(U("Shape")).Get(), second.Get());
	EXPECT_EQ(fStore->GetVisibleClassObject(U("Shape")).Get(), second.Get());
	EXPECT_EQ(fStore->GetClassObject(U("Secret")).Get(), hidden.Get());
	EXPECT_EQ(fStore->GetVisibleClassObject(U("Secret")), nullptr);
	EXPECT_EQ(PropertyNames(Wrap(fStore).Get()),
			  (std::vector<std::string>{"Class", "Function", "Object", "Shape"}));
	// The replaced class object is no longer held by the store.
	VJSONObject* firstRaw = first.Get();
	EXPECT_EQ(firstRaw->GetRefCount(), 1);
	VJSONClassStore::ClassMap all, visible;
	fStore->GetClasses(all);
	fStore->GetVisibleClasses(visible);
	EXPECT_EQ(all.size(), 5u);
	EXPECT_EQ(visible.size(), 4u);
}

TEST_F(JSONClassStore, AddingByDescriptorsMakesTheClassForThisStore)
{
	VRefPtr<VJSONClassStore> store = NewStore("comp");
	auto area = [](const VJSONObject*, IJSONFunctionContext* inContext) {
		inContext->SetResult(VJSONValue(6.0));
		return eJSONStatus_Handled;
	};
	VRefPtr<VJSONObject> made =
		store->AddClass(U("Shape"), {{U("area"), area, 0}}, nullptr, nullptr, nullptr, VJSONClass::kFlagShared);
	ASSERT_NE(made, nullptr);
	EXPECT_EQ(store->GetVisibleClassObject(U("Shape")).Get(), made.Get());
	VJSONClass* shape = VJSONClass::FromClassObject(made.Get());
	EXPECT_EQ(Text(shape->GetStoreName()), "comp");
	EXPECT_EQ(shape->GetFlags(), VJSONClass::kFlagShared);
	EXPECT_NE(shape->GetFunction(U("area")), nullptr);
	// Superclass "Object" and class "Class" come from the process's store.
	EXPECT_EQ(shape->GetSuperClassObject(), fStore->GetObjectClassObject());
	EXPECT_EQ(made->GetClassObject(), fStore->GetClassClassObject());
	// A superclass object that is no class: nothing is made or added.
	RaisedErrors errors;
	EXPECT_EQ(store->AddClass(U("Bad"), {}, testing::NewObject().Get(), nullptr, nullptr, 0), nullptr);
	EXPECT_EQ(errors.Last(), VE_JSON_SUPERCLASS_NOT_A_CLASS);
	EXPECT_EQ(store->GetCount(), 1u);
}

TEST_F(JSONClassStore, LookupsExactOrIgnoringCase)
{
	VRefPtr<VJSONObject> shape = NewClass("Shape");
	VRefPtr<VJSONObject> hidden = NewClass("Secret");
	fStore->AddClass(shape.Get(), 0);
	fStore->AddClass(hidden.Get(), VJSONClassStore::kAddHidden);
	struct Case {
		const char* name;
		bool ignoringCase;
		const char* found;
		const char* foundVisible;
	};
	for (const Case& c : {Case{"Shape", false, "Shape", "Shape"}, Case{"shape", false, "(none)", "(none)"},
						  Case{"SHAPE", true, "Shape", "Shape"}, Case{"secret", true, "Secret", "(none)"},
						  Case{"Shap", true, "(none)", "(none)"}, Case{"", true, "(none)", "(none)"}}) {
		SCOPED_TRACE(std::string(c.name) + (c.ignoringCase ? " ignoring case" : ""));
		EXPECT_EQ(NameOf(fStore->GetClassObject(U(c.name), c.ignoringCase).Get()), c.found);
		EXPECT_EQ(NameOf(fStore->GetVisibleClassObject(U(c.name), c.ignoringCase).Get()), c.foundVisible);
	}
	struct NameCase {
		const char* a;
		const char* b;
		bool ignoringCase;
		bool equal;
	};
	for (const NameCase& c : {NameCase{"Shape", "Shape", false, true}, NameCase{"Shape", "shape", false, false},
							  NameCase{"Shape", "sHAPE", true, true}, NameCase{"Shape", "Shapes", true, false}}) {
		SCOPED_TRACE(std::string(c.a) + " " + c.b);
		EXPECT_EQ(VJSONClassStore::EqualClassName(U(c.a), U(c.b), c.ignoringCase), c.equal);
	}
}

TEST_F(JSONClassStore, ComponentStoresAndIdentifiers)
{
	VRefPtr<VJSONClassStore> component = NewStore("comp");
	VRefPtr<VJSONClassStore> late = NewStore("late");
	VRefPtr<VJSONClassStore> unnamed = NewStore("");
	VRefPtr<VJSONObject> widget = NewClass("Widget");
	VRefPtr<VJSONObject> thing = NewClass("Thing");
	VRefPtr<VJSONObject> shape = NewClass("Shape");
	component->AddClass(widget.Get(), 0);
	late->AddClass(NewClass("Widget").Get(), 0);
	unnamed->AddClass(thing.Get(), 0);
	fStore->AddClass(shape.Get(), 0);
	fStore->AddComponentClassStore(U("comp"), component.Get());
	fStore->AddComponentClassStore(U("comp"), late.Get()); // the first stays
	fStore->AddComponentClassStore(U(""), unnamed.Get());
	EXPECT_EQ(fStore->GetComponentClassStore(U("comp")).Get(), component.Get());
	EXPECT_EQ(fStore->GetComponentClassStore(U("Comp")), nullptr);
	VJSONClassStore::StoreMap stores;
	fStore->GetComponentClassStores(stores);
	EXPECT_EQ(stores.size(), 2u);
	stores.clear();

	struct Case {
		const char* identifier;
		VJSONObject* expected;
	};
	for (const Case& c : {Case{"Shape", shape.Get()}, Case{"comp.Widget", widget.Get()}, Case{".Thing", thing.Get()},
						  Case{"comp.Shape", nullptr}, Case{"missing.Widget", nullptr}, Case{"comp.", nullptr},
						  Case{"Widget", nullptr}, Case{"comp.Widget.x", nullptr}, Case{"", nullptr}}) {
		SCOPED_TRACE(c.identifier);
		EXPECT_EQ(fStore->GetClassObjectFromIdentifier(U(c.identifier)).Get(), c.expected);
	}

	// As a JSON object, a component reads as a store object of its own.
	VRefPtr<VJSONObject> wrapper = Wrap(fStore);
	VJSONValue read = wrapper->GetProperty(U("comp"));
	ASSERT_TRUE(read.IsObject());
	EXPECT_EQ(read.GetObject()->GetImplementation(), static_cast<IJSONObject*>(component.Get()));
	EXPECT_FALSE(read.GetObject()->IsShared());
	EXPECT_EQ(read.GetObject()->GetProperty(U("Widget")).GetObject(), widget.Get());

	fStore->RemoveComponentClassStores();
	EXPECT_EQ(fStore->GetComponentClassStore(U("comp")), nullptr);
	EXPECT_EQ(fStore->GetClassObjectFromIdentifier(U("comp.Widget")), nullptr);
	EXPECT_EQ(component->GetRefCount(), 2); // the handle and the wrapper read above
}

TEST_F(JSONClassStore, PublicSharedSingletonIdentifiers)
{
	VRefPtr<VJSONClassStore> component = NewStore("comp");
	struct Added {
		VJSONClassStore* store;
		const char* name;
		uint32 flags;
		uint32 addFlags;
	};
	constexpr uint32 shared = VJSONClass::kFlagShared;
	constexpr uint32 singleton = VJSONClass::kFlagSingleton;
	for (const Added& a : {Added{fStore, "Both", shared | singleton, 0}, Added{fStore, "Session", 0x80, 0},
						   Added{fStore, "OnlySingleton", singleton, 0}, Added{fStore, "OnlyShared", shared, 0},
						   Added{fStore, "Hidden", shared | singleton, VJSONClassStore::kAddHidden},
						   Added{component.Get(), "Remote", shared | singleton, 0},
						   Added{component.Get(), "Plain", 0, 0}})
		a.store->AddClass(NewClass(a.name, a.flags).Get(), a.addFlags);
	fStore->AddComponentClassStore(U("comp"), component.Get());
	std::vector<VString> identifiers{U("kept")};
	fStore->GetPublicSharedSingletonIdentifiers(identifiers, U("qx."));
	EXPECT_EQ(Text(identifiers.front()), "kept");
	EXPECT_EQ(Sorted(identifiers), (std::vector<std::string>{"comp.Remote", "kept", "qx.Both", "qx.Session"}));
}

TEST_F(JSONClassStore, TheStoreObjectReadsButCannotBeWritten)
{
	VRefPtr<VJSONObject> shape = NewClass("Shape");
	fStore->AddClass(shape.Get(), VJSONClassStore::kAddHidden);
	VRefPtr<VJSONObject> wrapper = Wrap(fStore);
	// Hidden classes read, but are not listed.
	EXPECT_EQ(wrapper->GetProperty(U("Shape")).GetObject(), shape.Get());
	EXPECT_EQ(wrapper->GetProperty(U("Object")).GetObject(), fStore->GetObjectClassObject());
	EXPECT_TRUE(wrapper->GetProperty(U("Nothing")).IsUndefined());
	EXPECT_TRUE(wrapper->HasProperty(U("Shape")));
	{
		RaisedErrors errors;
		EXPECT_FALSE(wrapper->SetProperty(U("Shape"), VJSONValue(1.0)));
		EXPECT_EQ(errors.Last(), VE_JSON_OBJECT_READ_ONLY);
	}
	EXPECT_EQ(wrapper->GetProperty(U("Shape")).GetObject(), shape.Get());
	wrapper->Clear();
	EXPECT_FALSE(wrapper->IsEmpty());
	EXPECT_EQ(fStore->GetCount(), 4u);
	VString text;
	wrapper->GetDescription(text, false);
	EXPECT_EQ(Text(text), "<<Class Store>>");
	VJSONValue(wrapper.Get()).Stringify(text);
	EXPECT_EQ(Text(text), "<<Class Store>>");
}

// A class's source file, with its modification date set apart from now.
class SourceFile {
public:
	SourceFile(const testing::TempFolder& inFolder, const char* inName) : fPath(inFolder / inName)
	{
		std::ofstream(fPath) << "class";
		SetAge(std::chrono::hours(-1));
		fFile = VRefPtr<VFile>::Adopt(new VFile(VString(fPath.c_str()), FPS_POSIX));
	}
	void SetAge(std::chrono::seconds inOffset) const
	{
		std::filesystem::last_write_time(fPath, std::filesystem::file_time_type::clock::now() + inOffset);
	}
	void Remove() const { std::filesystem::remove(fPath); }
	VFile* Get() const { return fFile.Get(); }

private:
	std::string fPath;
	VRefPtr<VFile> fFile;
};

TEST_F(JSONClassStore, ObsoleteClassesLeave)
{
	testing::TempFolder folder;
	SourceFile same(folder, "same.js"), changed(folder, "changed.js"), gone(folder, "gone.js"),
		unlisted(folder, "unlisted.js"), base(folder, "base.js");
	VRefPtr<VJSONObject> baseClass = NewClass("Base", 0, base.Get());
	struct Case {
		const char* name;
		IFile* file;
		bool listed;
		bool removed;
	};
	const std::vector<Case> cases{
		{"Same", same.Get(), true, false},		   {"Changed", changed.Get(), true, true},
		{"Gone", gone.Get(), true, true},		   {"Unlisted", unlisted.Get(), false, true},
		{"Native", nullptr, false, false},		   {"Replaced", nullptr, true, true},
		{"Base", base.Get(), true, true},
	};
	VJSONClassStore::FileMap sources;
	for (const Case& c : cases) {
		if (std::string(c.name) == "Base")
			fStore->AddClass(baseClass.Get(), 0);
		else
			fStore->AddClass(NewClass(c.name, 0, c.file).Get(), 0);
		if (c.listed)
			sources[U(c.name)].Set(c.file);
	}
	// A class derived from an obsolete one is obsolete too.
	VRefPtr<VJSONObject> derived = VJSONClass::Create(U("Derived"), baseClass.Get(), nullptr, U("qx"), 0);
	fStore->AddClass(derived.Get(), 0);

	EXPECT_FALSE(VJSONClass::FromClassObject(derived.Get())->IsObsolete());
	changed.SetAge(std::chrono::hours(1));
	base.SetAge(std::chrono::hours(1));
	gone.Remove();
	// The roots stay: they have no file and are not listed.
	std::vector<VString> removed;
	fStore->RemoveObsoleteClasses(sources, removed);
	EXPECT_EQ(Sorted(removed), (std::vector<std::string>{"Base", "Changed", "Gone", "Unlisted"}));
	for (const Case& c : cases) {
		SCOPED_TRACE(c.name);
		EXPECT_EQ(fStore->GetClassObject(U(c.name)) == nullptr, c.removed);
		EXPECT_EQ(fStore->GetVisibleClassObject(U(c.name)) == nullptr, c.removed);
	}
	EXPECT_EQ(fStore->GetClassObject(U("Derived")), nullptr);
	EXPECT_EQ(fStore->GetCount(), 5u); // the roots, "Same" and "Native"
	// Obsolete stays obsolete, even once the file is back as it was.
	changed.SetAge(std::chrono::hours(-2));
	EXPECT_TRUE(VJSONClass::FromClassObject(baseClass.Get())->IsObsolete());
	EXPECT_TRUE(VJSONClass::FromClassObject(derived.Get())->IsObsolete());
	EXPECT_FALSE(VJSONClass::FromClassObject(fStore->GetObjectClassObject())->IsObsolete());
}

// The root classes hold one another; the store unlinks them as it goes, so
// that they leave with their last holder.
TEST(JSONClassStoreLifetime, TheRootClassesGoWithTheirLastHolder)
{
	testing::JSONLeakMonitor monitor;
	{
		ScopedClassStore store;
		EXPECT_GT(monitor.Objects(), 0);
	}
	EXPECT_EQ(monitor.Objects(), 0);

	VRefPtr<VJSONObject> instance;
	VRefPtr<VJSONObject> call;
	{
		ScopedClassStore store;
		auto side = [](const VJSONObject*, IJSONFunctionContext* inContext) {
			inContext->SetResult(VJSONValue(2.0));
			return eJSONStatus_Handled;
		};
		VRefPtr<VJSONObject> square = store.Get()->AddClass(U("Square"), {{U("side"), side, 0}}, nullptr, nullptr,
															 nullptr, 0);
		instance = VRefPtr<VJSONObject>::Adopt(new VJSONObject(square.Get(), nullptr, false));
		call.Set(VJSONClass::FromClassObject(store.GetFunctionClassObject())->GetFunction(U("call")));
	}
	// What outlives the store keeps what it needs, and still works.
	EXPECT_EQ(Text(instance->GetClass()->GetName()), "Square");
	EXPECT_TRUE(instance->IsInstanceOf(instance->GetClass()->GetSuperClass()));
	VJSONValue result;
	VJSONObject* side = instance->GetClass()->GetFunction(U("side"));
	std::vector<VJSONValue> parameters{VJSONValue(instance.Get())};
	EXPECT_EQ(call->CallAsFunction(side, nullptr, &parameters, result, nullptr, nullptr), eJSONStatus_Handled);
	EXPECT_EQ(result.GetNumber(), 2.0);
	instance = nullptr;
	call = nullptr;
	parameters.clear();
	EXPECT_EQ(monitor.Objects(), 0);
}

} // namespace
} // namespace qirn
