#include "files/VFile.h"
#include "json/IJSONFunctionContext.h"
#include "json/VJSONClass.h"
#include "json/VJSONCloner.h"
#include "json/VJSONErrors.h"
#include "json/VJSONMemberFunction.h"
#include "json/VJSONPropertyIterator.h"
#include "json/VStorageLocker.h"
#include "json/tests/JSONScopedClassStore.h"
#include "testing/RaisedErrors.h"
#include "testing/TempFolder.h"

#include <algorithm>
#include <fstream>
#include <string>

namespace qirn {
namespace {

using testing::NewArray;
using testing::NewObject;
using testing::RaisedErrors;
using testing::ScopedClassStore;
using testing::U;

std::string Text(const VJSONValue& inValue)
{
	VString text;
	inValue.GetString(text);
	return to_string(text);
}

VJSONClass* ClassOf(const VJSONObject* inClassObject)
{
	return VJSONClass::FromClassObject(inClassObject);
}

// What a called function saw, for the test to read.
struct Seen {
	const VJSONObject* thisObject = nullptr;
	VJSONArray* thisArray = nullptr;
	std::vector<std::string> parameters;
	VDBLanguageContext* language = nullptr;
	CDBQXBaseContext* base = nullptr;
};
Seen gSeen;

EJSONStatus Record(const VJSONObject* inThis, IJSONFunctionContext* inContext)
{
	gSeen.thisObject = inThis;
	gSeen.thisArray = inContext->GetThisArray();
	gSeen.parameters.clear();
	for (int32 i = 1; i <= inContext->GetParamCount(); ++i)
		gSeen.parameters.push_back(Text(inContext->GetParam(i)));
	gSeen.language = inContext->GetLanguageContext();
	gSeen.base = inContext->GetBaseContext();
	inContext->SetResult(VJSONValue(U("done")), 3);
	return eJSONStatus_Handled;
}

EJSONStatus Decline(const VJSONObject* /*inThis*/, IJSONFunctionContext* /*inContext*/)
{
	return eJSONStatus_NotHandled;
}

EJSONStatus Nothing(const VJSONObject* /*inThis*/, IJSONFunctionContext* /*inContext*/)
{
	return eJSONStatus_Handled;
}

VJSONObject* MakeInstance(VJSONObject* inClassObject, IJSONFunctionContext* /*inContext*/)
{
	return new VJSONObject(inClassObject, nullptr, false);
}

class JSONClassObject : public ::testing::Test {
protected:
	// The function objects of the root classes' own members.
	VJSONObject* Root(VJSONObject* inClassObject, const char* inName) const
	{
		return ClassOf(inClassObject)->GetFunction(U(inName));
	}

	ScopedClassStore fStore;
	VRefPtr<VJSONObject> fRecord = VJSONMemberFunction::Create(Record, U("record"), nullptr, 0);
	VRefPtr<VJSONObject> fDecline = VJSONMemberFunction::Create(Decline, U("decline"), nullptr, 0);
	VDBLanguageContext* fLanguage = reinterpret_cast<VDBLanguageContext*>(&fMarks[0]);
	CDBQXBaseContext* fBase = reinterpret_cast<CDBQXBaseContext*>(&fMarks[1]);

private:
	int fMarks[2] = {};
};

TEST_F(JSONClassObject, ClassObjectsShowTheirClass)
{
	testing::TempFolder folder;
	const std::string path = folder / "shape.js";
	std::ofstream(path) << "class";
	auto file = VRefPtr<VFile>::Adopt(new VFile(VString(path.c_str()), FPS_POSIX));
	VRefPtr<VJSONObject> shape = VJSONClass::Create(U("Shape"), nullptr, file.Get(), U("qx"), 0x80);
	VRefPtr<VJSONObject> square = VJSONClass::Create(U("Square"), shape.Get(), U("qx"), VJSONClass::kFlagShared);
	ASSERT_NE(shape, nullptr);
	ASSERT_NE(square, nullptr);
	struct Case {
		VJSONObject* classObject;
		const char* name;
		std::string expected;
	};
	const std::string id = std::to_string(ClassOf(square.Get())->GetID());
	for (const Case& c : {Case{shape.Get(), "name", "Shape"}, Case{square.Get(), "name", "Square"},
						  Case{shape.Get(), "isSingleton", "true"}, Case{shape.Get(), "isShared", "true"},
						  Case{shape.Get(), "isSessionSingleton", "true"}, Case{square.Get(), "isSingleton", "false"},
						  Case{square.Get(), "isShared", "true"}, Case{square.Get(), "isSessionSingleton", "false"},
						  Case{square.Get(), "_id", id}, Case{shape.Get(), "__file", to_string(file->GetPathWithFileSystem())},
						  Case{square.Get(), "__file", "undefined"}}) {
		SCOPED_TRACE(c.name);
		VJSONValue value = c.classObject->GetProperty(U(c.name));
		EXPECT_EQ(value.IsUndefined() ? "undefined" : Text(value), c.expected);
	}
	EXPECT_EQ(square->GetProperty(U("superclass")).GetObject(), shape.Get());
	EXPECT_EQ(shape->GetProperty(U("superclass")).GetObject(), fStore.GetObjectClassObject());
	EXPECT_EQ(shape->GetProperty(U("__prototype")).GetObject(), ClassOf(shape.Get())->GetPrototype());
	EXPECT_EQ(ClassOf(shape.Get())->GetFile(), file.Get());

	std::vector<std::string> names;
	for (VJSONPropertyConstIterator it(square.Get()); it.IsValid(); ++it)
		names.push_back(to_string(it.GetName()));
	std::sort(names.begin(), names.end());
	EXPECT_EQ(names, (std::vector<std::string>{"isSessionSingleton", "isShared", "isSingleton", "name", "superclass"}));

	VString description;
	square->GetDescription(description, false);
	EXPECT_EQ(to_string(description), "Class: Square");
	// Class objects are not copied: the hook fails, quietly.
	VJSONCloner cloner;
	VJSONValue copy;
	RaisedErrors errors;
	EXPECT_EQ(ClassOf(square.Get())->IJSON_Clone(square.Get(), cloner, copy, nullptr), eJSONStatus_Failed);
	square->Clone(copy, cloner);
	EXPECT_FALSE(copy.IsObject() && copy.GetObject() != square.Get() && ClassOf(copy.GetObject()) != nullptr);
	EXPECT_TRUE(errors.Codes().empty());
}

TEST_F(JSONClassObject, TheClassOwnNamesCannotBeWrittenOrRemoved)
{
	VRefPtr<VJSONObject> shape = VJSONClass::Create(U("Shape"), nullptr, U("qx"), 0);
	for (const char* name : {"__prototype", "name", "superclass", "__file", "__properties", "isSingleton", "me",
							 "isShared", "isSessionSingleton"}) {
		SCOPED_TRACE(name);
		RaisedErrors errors;
		EXPECT_FALSE(shape->SetProperty(U(name), VJSONValue(1.0)));
		EXPECT_EQ(errors.Last(), VE_JSON_READ_ONLY_PROPERTY);
		errors.Clear();
		EXPECT_FALSE(shape->RemoveProperty(U(name)));
		EXPECT_EQ(errors.Last(), VE_JSON_READ_ONLY_PROPERTY);
	}
	EXPECT_EQ(Text(shape->GetProperty(U("name"))), "Shape");
	// Other names are the class object's own (a shared object's).
	RaisedErrors errors;
	VJSONUser user(shape.Get(), false);
	EXPECT_TRUE(shape->SetProperty(U("version"), VJSONValue(2.0)));
	EXPECT_EQ(shape->GetProperty(U("version")).GetNumber(), 2.0);
	EXPECT_TRUE(shape->RemoveProperty(U("version")));
	EXPECT_TRUE(errors.Codes().empty());
}

TEST_F(JSONClassObject, DescriptorsBecomeMemberFunctions)
{
	const std::vector<VJSONClass::FunctionDescriptor> members{
		{U("area"), Nothing, 0},
		{U("secret"), Nothing, VJSONClass::FunctionDescriptor::kFlagHidden},
		{U("locked"), Nothing, VJSONClass::FunctionDescriptor::kFlagFinal},
		{U("get label"), Nothing, 0},
	};
	struct Case {
		uint32 classFlags;
		const char* name;
		bool final;
		bool hidden;
	};
	for (const Case& c : {Case{0, "area", false, false}, Case{0, "secret", false, true}, Case{0, "locked", true, false},
						  Case{VJSONClass::kFlagFinal, "area", true, false},
						  Case{VJSONClass::kFlagFinal, "secret", true, true}}) {
		SCOPED_TRACE(std::string(c.name) + (c.classFlags != 0 ? " of a final class" : ""));
		VRefPtr<VJSONObject> shape =
			VJSONClass::Create(U("Shape"), members, nullptr, Nothing, MakeInstance, U("qx"), c.classFlags);
		VJSONObject* function = ClassOf(shape.Get())->GetFunction(U(c.name));
		ASSERT_NE(function, nullptr);
		EXPECT_EQ(function->GetClassObject(), fStore.GetFunctionClassObject());
		EXPECT_EQ(function->GetOwnProperty(U("final")).GetBool(), c.final);
		EXPECT_EQ(VJSONClass::IsFunctionHidden(function), c.hidden);
		EXPECT_EQ(Text(function->GetProperty(U("_description"))), "Shape." + std::string(c.name));
		EXPECT_TRUE(function->GetOwnProperty(U("eventName")).IsUndefined());
	}
	VRefPtr<VJSONObject> shape = VJSONClass::Create(U("Shape"), members, nullptr, Nothing, MakeInstance, U("qx"), 0);
	VJSONClass* theClass = ClassOf(shape.Get());
	EXPECT_EQ(Text(theClass->GetGetter(U("label"))->GetOwnProperty(U("eventName"))), "get");
	ASSERT_NE(theClass->GetConstructor(), nullptr);
	EXPECT_EQ(Text(theClass->GetConstructor()->GetProperty(U("_description"))), "Shape.constructor");
	EXPECT_EQ(theClass->GetConstructor()->GetClassObject(), fStore.GetFunctionClassObject());
	EXPECT_EQ(theClass->GetInstantiator(), &MakeInstance);
	// Once only.
	theClass->SetFunctions({{U("more"), Nothing, 0}}, nullptr, nullptr);
	EXPECT_EQ(theClass->GetFunction(U("more")), nullptr);
	EXPECT_NE(theClass->GetConstructor(), nullptr);
	EXPECT_EQ(theClass->GetInstantiator(), &MakeInstance);
	// Without a constructor there is none.
	VRefPtr<VJSONObject> plain = VJSONClass::Create(U("Plain"), members, nullptr, nullptr, nullptr, U("qx"), 0);
	EXPECT_EQ(ClassOf(plain.Get())->GetConstructor(), nullptr);
}

TEST_F(JSONClassObject, CallAndApplyPassTheThisAndTheParameters)
{
	VJSONObject* call = Root(fStore.GetFunctionClassObject(), "call");
	VJSONObject* apply = Root(fStore.GetFunctionClassObject(), "apply");
	VRefPtr<VJSONObject> target = NewObject();
	VRefPtr<VJSONArray> list = NewArray();
	VRefPtr<VJSONArray> arguments = NewArray();
	arguments->Push(VJSONValue(U("x")));
	arguments->Push(VJSONValue(2.0));
	struct Case {
		const char* label;
		VJSONObject* through;
		std::vector<VJSONValue> parameters;
		const VJSONObject* thisObject;
		VJSONArray* thisArray;
		std::vector<std::string> seen;
	};
	const std::vector<Case> cases{
		{"call with an object", call, {VJSONValue(target.Get()), VJSONValue(1.0), VJSONValue(U("b"))}, target.Get(),
		 nullptr, {"1", "b"}},
		{"call with an array", call, {VJSONValue(list.Get()), VJSONValue(1.0)}, nullptr, list.Get(), {"1"}},
		{"call with a number", call, {VJSONValue(5.0), VJSONValue(1.0)}, nullptr, nullptr, {"1"}},
		{"call with nothing", call, {}, nullptr, nullptr, {}},
		{"apply with an array", apply, {VJSONValue(target.Get()), VJSONValue(arguments.Get())}, target.Get(), nullptr,
		 {"x", "2"}},
		{"apply with no array", apply, {VJSONValue(target.Get()), VJSONValue(3.0), VJSONValue(4.0)}, target.Get(),
		 nullptr, {}},
		{"apply with nothing", apply, {}, nullptr, nullptr, {}},
	};
	for (Case c : cases) {
		SCOPED_TRACE(c.label);
		gSeen = Seen{};
		VJSONValue result;
		RaisedErrors errors;
		EXPECT_EQ(c.through->CallAsFunction(fRecord.Get(), nullptr, &c.parameters, result, fBase, fLanguage),
				  eJSONStatus_Handled);
		EXPECT_EQ(gSeen.thisObject, c.thisObject);
		EXPECT_EQ(gSeen.thisArray, c.thisArray);
		EXPECT_EQ(gSeen.parameters, c.seen);
		EXPECT_EQ(gSeen.language, fLanguage);
		EXPECT_EQ(gSeen.base, fBase);
		EXPECT_EQ(Text(result), "done");
		EXPECT_TRUE(errors.Codes().empty());
	}
}

// The callee's result kind reaches a caller that keeps it.
TEST_F(JSONClassObject, CallHandsOnTheResultKind)
{
	VJSONObject* call = Root(fStore.GetFunctionClassObject(), "call");
	VJSONObject* callee = fRecord.Get();
	struct Caller : IJSONFunctionContext {
		VJSONObject* GetThisObject() const override { return fThis; }
		VJSONArray* GetThisArray() const override { return nullptr; }
		void SetResult(const VJSONValue& inValue, uint8 inKind) override
		{
			fResult = inValue;
			fKind = inKind;
		}
		void GetResult(VJSONValue& outValue) const override { outValue = fResult; }
		uint8 GetResultLegacyValueKind() const override { return fKind; }
		bool GetResultIsExpected() const override { return true; }
		VError GetParametersAsJSONValues(std::vector<VJSONValue>** outParameters) const override
		{
			*outParameters = nullptr;
			return VE_OK;
		}
		CDBQXBaseContext* GetBaseContext() const override { return nullptr; }
		VDBLanguageContext* GetLanguageContext() const override { return nullptr; }
		int32 GetParamCount() const override { return 0; }
		VJSONValue GetParam(int32) const override { return VJSONValue(JSON_undefined); }
		VJSONObject* GetScopeThisObject() const override { return nullptr; }
		VJSONObject* GetScopeFunctionObject() const override { return nullptr; }
		VJSONObject* fThis = nullptr;
		VJSONValue fResult;
		uint8 fKind = 0;
	} caller;
	caller.fThis = callee;
	EXPECT_EQ(call->GetImplementation()->IJSON_CallAsFunction(call, &caller), eJSONStatus_Handled);
	EXPECT_EQ(Text(caller.fResult), "done");
	EXPECT_EQ(caller.fKind, 3);
}

TEST_F(JSONClassObject, CallingWhatIsNoFunctionFails)
{
	VJSONObject* call = Root(fStore.GetFunctionClassObject(), "call");
	VJSONObject* apply = Root(fStore.GetFunctionClassObject(), "apply");
	VRefPtr<VJSONObject> plain = NewObject();
	struct Case {
		const char* label;
		VJSONObject* through;
		VJSONObject* function;
		EJSONStatus status;
	};
	for (const Case& c : {Case{"call on a plain object", call, plain.Get(), eJSONStatus_Failed},
						  Case{"apply on a plain object", apply, plain.Get(), eJSONStatus_Failed},
						  Case{"call on nothing", call, nullptr, eJSONStatus_Failed},
						  Case{"a function that declines", call, fDecline.Get(), eJSONStatus_NotHandled},
						  Case{"applying one that declines", apply, fDecline.Get(), eJSONStatus_NotHandled}}) {
		SCOPED_TRACE(c.label);
		VJSONValue result;
		RaisedErrors errors;
		EXPECT_EQ(c.through->CallAsFunction(c.function, nullptr, nullptr, result, nullptr, nullptr), c.status);
		EXPECT_EQ(errors.Codes(), std::vector<VError>{VE_JSON_NOT_A_FUNCTION});
	}
}

// "call" itself can be called through "call": the first this is "call".
TEST_F(JSONClassObject, CallThroughCall)
{
	VJSONObject* call = Root(fStore.GetFunctionClassObject(), "call");
	VRefPtr<VJSONObject> target = NewObject();
	std::vector<VJSONValue> parameters{VJSONValue(fRecord.Get()), VJSONValue(target.Get()), VJSONValue(7.0)};
	VJSONValue result;
	gSeen = Seen{};
	EXPECT_EQ(call->CallAsFunction(call, nullptr, &parameters, result, nullptr, nullptr), eJSONStatus_Handled);
	EXPECT_EQ(gSeen.thisObject, target.Get());
	EXPECT_EQ(gSeen.parameters, std::vector<std::string>{"7"});
	EXPECT_EQ(Text(result), "done");
}

TEST_F(JSONClassObject, NewMakesAnInstanceOfTheClass)
{
	VJSONObject* newFunction = Root(fStore.GetClassClassObject(), "new");
	VRefPtr<VJSONObject> shape =
		VJSONClass::Create(U("Shape"), {{U("area"), Nothing, 0}}, nullptr, nullptr, MakeInstance, U("qx"), 0);
	VRefPtr<VJSONObject> square =
		VJSONClass::Create(U("Square"), {}, shape.Get(), nullptr, MakeInstance, U("qx"), 0);
	VJSONValue result;
	RaisedErrors errors;
	ASSERT_EQ(newFunction->CallAsFunction(square.Get(), nullptr, nullptr, result, nullptr, nullptr),
			  eJSONStatus_Handled);
	ASSERT_TRUE(result.IsObject());
	EXPECT_EQ(result.GetObject()->GetClassObject(), square.Get());
	EXPECT_EQ(result.GetObject()->_GetConstructionLevel(), 2u);
	EXPECT_TRUE(result.GetObject()->GetProperty(U("area")).IsObject());
	// Through the class object's own "new", as a script would.
	VJSONValue viaProperty = shape->GetProperty(U("new"));
	ASSERT_TRUE(viaProperty.IsObject());
	EXPECT_EQ(viaProperty.GetObject()->CallAsFunction(shape.Get(), nullptr, nullptr, result, nullptr, nullptr),
			  eJSONStatus_Handled);
	EXPECT_EQ(result.GetObject()->GetClassObject(), shape.Get());
	EXPECT_TRUE(errors.Codes().empty());

	// Members not set yet: no instance; set without instantiator: an error.
	VRefPtr<VJSONObject> bare = VJSONClass::Create(U("Bare"), nullptr, U("qx"), 0);
	EXPECT_EQ(newFunction->CallAsFunction(bare.Get(), nullptr, nullptr, result, nullptr, nullptr),
			  eJSONStatus_Handled);
	EXPECT_TRUE(result.IsNull());
	EXPECT_TRUE(errors.Codes().empty());
	ClassOf(bare.Get())->SetFunctions(std::vector<VJSONClass::FunctionDescriptor>{}, nullptr, nullptr);
	EXPECT_EQ(newFunction->CallAsFunction(bare.Get(), nullptr, nullptr, result, nullptr, nullptr),
			  eJSONStatus_Handled);
	EXPECT_TRUE(result.IsNull());
	EXPECT_EQ(errors.Codes(), std::vector<VError>{VE_JSON_NO_INSTANTIATOR});
}

TEST_F(JSONClassObject, MemberFunctionsWriteTheirDescription)
{
	VRefPtr<VJSONObject> shape =
		VJSONClass::Create(U("Shape"), {{U("area"), Nothing, 0}}, nullptr, nullptr, nullptr, U("qx"), 0);
	VString text;
	VJSONValue(ClassOf(shape.Get())->GetFunction(U("area"))).Stringify(text);
	EXPECT_EQ(to_string(text), "<<Native Function: Shape.area >>");
}

} // namespace
} // namespace qirn
