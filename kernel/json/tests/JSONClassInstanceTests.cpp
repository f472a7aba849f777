#include "json/IJSONFunctionContext.h"
#include "json/VJSONClass.h"
#include "json/VJSONClassHelpers.h"
#include "json/VJSONCloner.h"
#include "json/VJSONErrors.h"
#include "json/VJSONFunctionContext.h"
#include "json/VJSONMemberFunction.h"
#include "json/VJSONSuper.h"
#include "json/VStorageLocker.h"
#include "json/tests/JSONScopedClassStore.h"
#include "testing/RaisedErrors.h"
#include "testing/TestThreads.h"

#include <atomic>
#include <set>
#include <string>

namespace qirn {
namespace {

using testing::NewObject;
using testing::RaisedErrors;
using testing::ScopedClassStore;
using testing::U;

using Descriptors = std::vector<VJSONClass::FunctionDescriptor>;

std::string Text(const VJSONValue& inValue)
{
	VString text;
	inValue.GetString(text);
	return to_string(text);
}

// The name of the class whose function runs with the context.
std::string ScopeName(IJSONFunctionContext* inContext)
{
	VJSONClass* scope = inContext->GetScopeClass();
	return scope != nullptr ? to_string(scope->GetName()) : std::string("?");
}

// Appends to the instance's own string property "log".
void Log(VJSONObject* inInstance, const std::string& inEntry)
{
	VJSONUser user(inInstance, false);
	std::string log = Text(inInstance->GetOwnProperty(U("log")));
	if (log == "undefined")
		log.clear();
	inInstance->SetOwnProperty(U("log"), VJSONValue(U((log + inEntry + ";").c_str())));
}

// The classes whose constructors leave their super constructor uncalled.
std::set<std::string> gSkipSuper;
std::atomic<int> gConstructions{0};

// One constructor for every class: it calls its super constructor (unless
// its class skips it), then logs its class and its first parameter.
EJSONStatus Constructor(const VJSONObject* /*inThis*/, IJSONFunctionContext* inContext)
{
	++gConstructions;
	const std::string name = ScopeName(inContext);
	if (gSkipSuper.count(name) == 0 && VJSONClass::CallSuperConstructor(inContext) == eJSONStatus_Failed)
		return eJSONStatus_Failed;
	std::string entry = name;
	if (VJSONValue first = inContext->GetParam(1); !first.IsUndefined())
		entry += "(" + Text(first) + ")";
	Log(inContext->GetThisObject(), entry);
	return eJSONStatus_Handled;
}

// An initialiser: the name of the class that declares it.
EJSONStatus Initializer(const VJSONObject* /*inThis*/, IJSONFunctionContext* inContext)
{
	inContext->SetResult(VJSONValue(U(ScopeName(inContext).c_str())));
	return eJSONStatus_Handled;
}

// "describe": the class's name, after what the superclasses describe.
EJSONStatus Describe(const VJSONObject* /*inThis*/, IJSONFunctionContext* inContext)
{
	const std::string name = ScopeName(inContext);
	std::string above;
	if (name != "A") {
		VJSONValue memberValue = VJSONSuper::CreateObject()->GetProperty(U("describe"));
		VJSONObject* member = memberValue.GetObject();
		if (member->GetImplementation()->IJSON_CallAsFunction(member, inContext) != eJSONStatus_Handled)
			return eJSONStatus_Failed;
		VJSONValue result;
		inContext->GetResult(result);
		above = Text(result);
	}
	inContext->SetResult(VJSONValue(U((above + name).c_str())));
	return eJSONStatus_Handled;
}

// Calls the super member named by the first parameter.
EJSONStatus CallSuper(const VJSONObject* /*inThis*/, IJSONFunctionContext* inContext)
{
	VRefPtr<VJSONObject> member = VJSONSuperMember::CreateObject(inContext->GetStringParam(1));
	return member->GetImplementation()->IJSON_CallAsFunction(member.Get(), inContext);
}

// "set size" takes integers only; "get size" reads them back.
EJSONStatus SetSize(const VJSONObject* /*inThis*/, IJSONFunctionContext* inContext)
{
	const int32 size = inContext->GetLongParam(1);
	if (!inContext->AreParametersValid())
		return eJSONStatus_Failed;
	inContext->GetThisObject()->SetOwnProperty(U("_size"), VJSONValue(static_cast<double>(size)));
	return eJSONStatus_Handled;
}

EJSONStatus GetSize(const VJSONObject* inThis, IJSONFunctionContext* inContext)
{
	inContext->SetResult(inThis->GetOwnProperty(U("_size")));
	return eJSONStatus_Handled;
}

// What a class of the chain has: a constructor, and initialisers.
struct Shape {
	bool fConstructor;
	bool fInitializer;
};

// A chain of classes A <- B <- C in a store of its own, each with
// "describe", and with a constructor and an initialiser "from<Name>" as
// asked.
class JSONClassInstance : public ::testing::Test {
protected:
	void SetUp() override
	{
		gSkipSuper.clear();
		gConstructions = 0;
	}

	VRefPtr<VJSONObject> MakeClass(const char* inName, VJSONObject* inSuper, Shape inShape, uint32 inFlags = 0,
								   Descriptors inExtra = {})
	{
		Descriptors functions{{U("describe"), Describe, 0}, {U("callSuper"), CallSuper, 0}};
		if (inShape.fInitializer)
			functions.push_back({U((std::string("init from") + inName).c_str()), Initializer, 0});
		functions.insert(functions.end(), inExtra.begin(), inExtra.end());
		return VJSONClass::Create(U(inName), functions, inSuper, inShape.fConstructor ? Constructor : nullptr,
								  (inFlags & VJSONClass::kFlagShared) != 0 ? VJSONClass::SharedInstantiator
																		   : VJSONClass::GenericInstantiator,
								  U("qx"), inFlags);
	}

	void MakeChain(Shape inA, Shape inB, Shape inC)
	{
		fA = MakeClass("A", nullptr, inA);
		fB = MakeClass("B", fA.Get(), inB);
		fC = MakeClass("C", fB.Get(), inC);
	}

	// "new" on a class object, as a script calls it.
	EJSONStatus New(VJSONObject* inClassObject, VJSONValue& outResult, std::vector<VJSONValue> inParameters = {})
	{
		VJSONValue newFunction = inClassObject->GetProperty(U("new"));
		return newFunction.GetObject()->CallAsFunction(inClassObject, nullptr, &inParameters, outResult, nullptr,
													   nullptr);
	}

	ScopedClassStore fStore;
	VRefPtr<VJSONObject> fA, fB, fC;
};

TEST_F(JSONClassInstance, ConstructorChainsThreeClassesDeep)
{
	struct Case {
		const char* fWhat;
		Shape fA, fB, fC;
		std::set<std::string> fSkipSuper;
		const char* fLog;
		const char* fInitialized;
		VError fError;
	};
	const std::vector<Case> cases = {
		{"every constructor calls its super", {true, true}, {true, true}, {true, true}, {}, "A;B;C;", "ABC", VE_OK},
		{"no constructor runs every initialiser", {false, true}, {false, true}, {false, true}, {}, "", "ABC", VE_OK},
		{"a class without constructor in the middle", {true, true}, {false, true}, {true, true}, {}, "A;C;", "ABC",
		 VE_OK},
		{"the only constructor at the root", {true, true}, {false, true}, {false, true}, {}, "A;", "ABC", VE_OK},
		{"a constructor may skip a super without constructor", {false, true}, {false, true}, {true, true}, {"C"},
		 "C;", "C", VE_OK},
		{"the root constructor may call its super", {true, false}, {false, false}, {false, false}, {}, "A;", "",
		 VE_OK},
		{"the middle constructor skips its super", {true, true}, {true, true}, {true, true}, {"B"}, nullptr, nullptr,
		 VE_JSON_SUPER_CONSTRUCTOR_NOT_CALLED},
		{"the last constructor skips its super", {true, true}, {false, true}, {true, true}, {"C"}, nullptr, nullptr,
		 VE_JSON_SUPER_CONSTRUCTOR_NOT_CALLED},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fWhat);
		MakeChain(c.fA, c.fB, c.fC);
		gSkipSuper = c.fSkipSuper;
		RaisedErrors errors;
		VJSONValue result;
		EJSONStatus status = New(fC.Get(), result);
		if (c.fError != VE_OK) {
			EXPECT_EQ(status, eJSONStatus_Failed);
			EXPECT_TRUE(result.IsNull());
			EXPECT_EQ(errors.Codes(), std::vector<VError>{c.fError});
			continue;
		}
		ASSERT_EQ(status, eJSONStatus_Handled);
		ASSERT_TRUE(result.IsObject());
		EXPECT_TRUE(errors.Codes().empty());
		VJSONObject* instance = result.GetObject();
		EXPECT_EQ(instance->GetClassObject(), fC.Get());
		EXPECT_EQ(instance->_GetConstructionLevel(), 3u);
		EXPECT_FALSE(instance->_IsUnderConstruction());
		std::string log = Text(instance->GetOwnProperty(U("log")));
		EXPECT_EQ(log == "undefined" ? "" : log, c.fLog);
		std::string initialized;
		for (const char* name : {"A", "B", "C"}) {
			VJSONValue value = instance->GetOwnProperty(U((std::string("from") + name).c_str()));
			if (!value.IsUndefined())
				initialized += Text(value);
		}
		EXPECT_EQ(initialized, c.fInitialized);
	}
}

TEST_F(JSONClassInstance, TheParametersOfNewReachTheConstructors)
{
	MakeChain({true, false}, {true, false}, {false, false});
	VRefPtr<VJSONObject> made = VJSONClass::CreateInstanceFromClassObject(fC.Get(), {VJSONValue(7.0)});
	ASSERT_NE(made, nullptr);
	EXPECT_EQ(Text(made->GetOwnProperty(U("log"))), "A(7);B(7);");
	VJSONValue result;
	ASSERT_EQ(New(fB.Get(), result, {VJSONValue(U("x"))}), eJSONStatus_Handled);
	EXPECT_EQ(Text(result.GetObject()->GetOwnProperty(U("log"))), "A(x);B(x);");
	// A constructor's result is its own: "new" answers the instance.
	EXPECT_EQ(result.GetObject()->GetClassObject(), fB.Get());
}

TEST_F(JSONClassInstance, SuperConstructorsOutOfAChainAreRefused)
{
	MakeChain({true, false}, {false, false}, {true, false});
	RaisedErrors errors;
	// No running member function: no scope class.
	VJSONFunctionContext plain(NewObject().Get(), nullptr, nullptr);
	EXPECT_EQ(VJSONClass::CallSuperConstructor(&plain), eJSONStatus_Failed);
	// A constructed instance: its constructors have all run.
	VRefPtr<VJSONObject> instance = VJSONClass::CreateInstance(fC.Get(), nullptr);
	ASSERT_NE(instance, nullptr);
	VJSONFunctionContext late(instance.Get(), nullptr, nullptr);
	late.SetScope(VJSONClass::FromClassObject(fC.Get())->GetConstructor(), instance.Get());
	EXPECT_EQ(VJSONClass::CallSuperConstructor(&late), eJSONStatus_Failed);
	EXPECT_EQ(errors.Codes(),
			  (std::vector<VError>{VE_JSON_SUPER_CONSTRUCTOR_MISPLACED, VE_JSON_SUPER_CONSTRUCTOR_MISPLACED}));
	EXPECT_EQ(Text(instance->GetOwnProperty(U("log"))), "A;C;");
}

TEST_F(JSONClassInstance, InstancesMadeWithoutConstructionAreFinalized)
{
	MakeChain({true, false}, {false, false}, {false, false});
	VJSONClass* c = VJSONClass::FromClassObject(fC.Get());
	VRefPtr<VJSONObject> raw = VRefPtr<VJSONObject>::Adopt(VJSONClass::GenericInstantiator(fC.Get(), nullptr));
	RaisedErrors errors;
	EXPECT_EQ(c->FinalizeInstance(raw.Get()), VE_JSON_INSTANCE_NOT_CONSTRUCTED);
	ASSERT_NE(errors.LastError(), nullptr);
	EXPECT_EQ(Text(errors.LastError()->GetParameters()->GetProperty(U("p1"))), "A");
	EXPECT_EQ(raw->_GetConstructionLevel(), 3u);
	// A chain without constructors has nothing owed.
	VRefPtr<VJSONObject> plain = MakeClass("Plain", nullptr, {false, true});
	VRefPtr<VJSONObject> other =
		VRefPtr<VJSONObject>::Adopt(VJSONClass::GenericInstantiator(plain.Get(), nullptr));
	errors.Clear();
	EXPECT_EQ(VJSONClass::FromClassObject(plain.Get())->FinalizeInstance(other.Get()), VE_OK);
	EXPECT_TRUE(errors.Codes().empty());
	// Instantiators: plain, shared, refused.
	EXPECT_TRUE(raw->GetStorageLocker() == nullptr);
	VRefPtr<VJSONObject> shared = VRefPtr<VJSONObject>::Adopt(VJSONClass::SharedInstantiator(fC.Get(), nullptr));
	EXPECT_TRUE(shared->IsShared());
	EXPECT_EQ(VJSONClass::ErrorSharedObjectInstantiator(fC.Get(), nullptr), nullptr);
	EXPECT_EQ(errors.Codes(), std::vector<VError>{VE_JSON_SHARED_OBJECT_INSTANTIATOR});
}

TEST_F(JSONClassInstance, SuperCallsClimbFromTheRunningFunctionsClass)
{
	MakeChain({false, false}, {false, false}, {false, false});
	VRefPtr<VJSONObject> instance = VJSONClass::CreateInstance(fC.Get(), nullptr);
	ASSERT_NE(instance, nullptr);
	VJSONValue describe = instance->GetProperty(U("describe"));
	ASSERT_TRUE(describe.IsObject());
	VJSONValue result;
	RaisedErrors errors;
	ASSERT_EQ(describe.GetObject()->CallAsFunction(instance.Get(), nullptr, nullptr, result, nullptr, nullptr),
			  eJSONStatus_Handled);
	EXPECT_EQ(Text(result), "ABC");
	EXPECT_TRUE(errors.Codes().empty());

	// A name no superclass prototype holds; a prototype value that is no
	// function.
	VJSONObject* callSuper = instance->GetProperty(U("callSuper")).GetObject();
	auto callSuperOf = [&](const char* inName) {
		std::vector<VJSONValue> parameters{VJSONValue(U(inName))};
		return callSuper->CallAsFunction(instance.Get(), nullptr, &parameters, result, nullptr, nullptr);
	};
	{
		VJSONUser user(VJSONClass::FromClassObject(fA.Get())->GetPrototype(), false);
		VJSONClass::FromClassObject(fA.Get())->GetPrototype()->SetProperty(U("version"), VJSONValue(3.0));
	}
	EXPECT_EQ(callSuperOf("nothing"), eJSONStatus_Failed);
	EXPECT_EQ(callSuperOf("version"), eJSONStatus_Failed);
	EXPECT_EQ(errors.Codes(),
			  (std::vector<VError>{VE_JSON_NOT_A_FUNCTION, VE_JSON_SUPER_MEMBER_NOT_A_FUNCTION}));
	errors.Clear();
	// Through super, describe of the superclass runs for the same this.
	EXPECT_EQ(callSuperOf("describe"), eJSONStatus_Handled);
	EXPECT_EQ(Text(result), "AB");

	// Out of any member function: no scope class.
	VRefPtr<VJSONObject> member = VJSONSuperMember::CreateObject(U("describe"));
	EXPECT_EQ(member->CallAsFunction(instance.Get(), nullptr, nullptr, result, nullptr, nullptr), eJSONStatus_Failed);
	EXPECT_EQ(errors.Codes(), std::vector<VError>{VE_JSON_NO_SCOPE_CLASS});
}

TEST_F(JSONClassInstance, SuperObjectsCannotBeWrittenAndDescribeThemselves)
{
	VRefPtr<VJSONObject> super = VJSONSuper::CreateObject();
	VRefPtr<VJSONObject> member = VJSONSuperMember::CreateObject(U("m"));
	VString text;
	super->GetDescription(text, false);
	EXPECT_EQ(to_string(text), "<<Super>>");
	member->GetDescription(text, false);
	EXPECT_EQ(to_string(text), "<<Super member: m>>");
	super->GetProperty(U("other")).GetObject()->GetDescription(text, false);
	EXPECT_EQ(to_string(text), "<<Super member: other>>");
	RaisedErrors errors;
	for (VJSONObject* object : {super.Get(), member.Get()}) {
		EXPECT_FALSE(object->SetProperty(U("x"), VJSONValue(1.0)));
		EXPECT_FALSE(object->RemoveProperty(U("x")));
	}
	EXPECT_EQ(errors.Codes(), std::vector<VError>(4, VE_JSON_OBJECT_READ_ONLY));
	VJSONCloner cloner;
	VJSONValue copy;
	EXPECT_EQ(member->Clone(copy, cloner), VE_OK);
	ASSERT_TRUE(copy.IsObject());
	EXPECT_NE(copy.GetObject(), member.Get());
	copy.GetObject()->GetDescription(text, false);
	EXPECT_EQ(to_string(text), "<<Super member: m>>");
}

TEST_F(JSONClassInstance, OverridingAFinalFunctionNamesIt)
{
	MakeChain({false, false}, {false, false}, {false, false});
	VJSONObject* describe = VJSONClass::FromClassObject(fB.Get())->GetFunction(U("describe"));
	ASSERT_NE(describe, nullptr);
	VJSONFunctionContext context(nullptr, nullptr, nullptr);
	RaisedErrors errors;
	EXPECT_EQ(VJSONClass::do_errorOverridingFinalFunction(describe, &context), eJSONStatus_Failed);
	ASSERT_EQ(errors.Codes(), std::vector<VError>{VE_JSON_FINAL_FUNCTION_OVERRIDDEN});
	EXPECT_EQ(Text(errors.LastError()->GetParameters()->GetProperty(U("p1"))), "B.describe");
}

TEST_F(JSONClassInstance, SharedSingletonsAreMadeOnceAndReleased)
{
	VRefPtr<VJSONObject> a = MakeClass("A", nullptr, {true, true});
	VRefPtr<VJSONObject> one = MakeClass("One", a.Get(), {true, true},
										 VJSONClass::kFlagShared | VJSONClass::kFlagSingleton);
	fStore.Get()->AddClass(one.Get(), 0);
	VJSONClass* cls = VJSONClass::FromClassObject(one.Get());
	VJSONValue first, second;
	ASSERT_EQ(New(one.Get(), first), eJSONStatus_Handled);
	ASSERT_EQ(New(one.Get(), second), eJSONStatus_Handled);
	ASSERT_TRUE(first.IsObject());
	EXPECT_EQ(first.GetObject(), second.GetObject());
	EXPECT_TRUE(first.GetObject()->IsShared());
	EXPECT_EQ(one->GetProperty(U("me")).GetObject(), first.GetObject());
	EXPECT_EQ(fStore.Get()->GetSingletonObjectFromIdentifier(U("One"), nullptr).Get(), first.GetObject());
	EXPECT_EQ(Text(first.GetObject()->GetProperty(U("log"))), "A;One;");
	EXPECT_EQ(Text(first.GetObject()->GetProperty(U("fromOne"))), "One");
	EXPECT_EQ(gConstructions, 2);
	// Released, the next request makes a new one.
	fStore.Get()->ReleaseSingletons();
	VRefPtr<VJSONObject> again = cls->GetSingleton(nullptr, nullptr);
	ASSERT_NE(again, nullptr);
	EXPECT_NE(again.Get(), first.GetObject());
	// Classes that are no singletons have none, and no "me".
	EXPECT_EQ(VJSONClass::FromClassObject(a.Get())->GetSingleton(nullptr, nullptr), nullptr);
	EXPECT_TRUE(a->GetProperty(U("me")).IsUndefined());
	EXPECT_EQ(fStore.Get()->GetSingletonObjectFromIdentifier(U("Nobody"), nullptr), nullptr);
	cls->ReleaseSingleton();
}

TEST_F(JSONClassInstance, ThreadsAskingForASharedSingletonGetOne)
{
	VRefPtr<VJSONObject> one =
		MakeClass("One", nullptr, {true, false}, VJSONClass::kFlagShared | VJSONClass::kFlagSingleton);
	VJSONClass* cls = VJSONClass::FromClassObject(one.Get());
	// Half of them read the class object's "me", which asks for it under
	// the class object's locks; the others ask the class.
	constexpr int kThreads = 6;
	VJSONObject* seen[kThreads] = {};
	testing::RunOnThreads(kThreads, [&](int inIndex) {
		seen[inIndex] = inIndex % 2 == 0 ? cls->GetSingleton(nullptr, nullptr).Get()
										 : one->GetProperty(U("me")).GetObject();
	});
	for (VJSONObject* object : seen)
		EXPECT_EQ(object, seen[0]);
	EXPECT_NE(seen[0], nullptr);
	EXPECT_EQ(gConstructions, 1);
	EXPECT_EQ(Text(seen[0]->GetProperty(U("log"))), "One;");
	cls->ReleaseSingleton();
}

VRefPtr<VJSONObject> gSessionInstance;
VDBLanguageContext* gAskedContext = nullptr;

VRefPtr<VJSONObject> ProvideSessionSingleton(VJSONClass* /*inClass*/, VDBLanguageContext* inContext)
{
	gAskedContext = inContext;
	return gSessionInstance;
}

TEST_F(JSONClassInstance, SessionSingletonsComeFromTheProvider)
{
	VRefPtr<VJSONObject> session = MakeClass("Session", nullptr, {false, false}, VJSONClass::kFlagSessionSingleton);
	VJSONClass* cls = VJSONClass::FromClassObject(session.Get());
	// A session singleton is a shared singleton as well.
	EXPECT_EQ(cls->GetFlags() & 0xE0u, 0xE0u);
	EXPECT_TRUE(session->GetProperty(U("isSessionSingleton")).GetBool());
	VJSONValue result;
	ASSERT_EQ(New(session.Get(), result), eJSONStatus_Handled);
	EXPECT_TRUE(result.IsNull());
	EXPECT_TRUE(session->GetProperty(U("me")).IsNull());

	gSessionInstance = NewObject();
	VJSONClass::SetSessionSingletonProvider(ProvideSessionSingleton);
	auto* language = reinterpret_cast<VDBLanguageContext*>(&gSessionInstance);
	EXPECT_EQ(cls->GetSingleton(language, nullptr), gSessionInstance);
	EXPECT_EQ(gAskedContext, language);
	ASSERT_EQ(New(session.Get(), result), eJSONStatus_Handled);
	EXPECT_EQ(result.GetObject(), gSessionInstance.Get());
	// A shared singleton never asks the provider.
	VRefPtr<VJSONObject> shared =
		MakeClass("Shared", nullptr, {false, false}, VJSONClass::kFlagShared | VJSONClass::kFlagSingleton);
	VJSONClass* sharedClass = VJSONClass::FromClassObject(shared.Get());
	EXPECT_NE(sharedClass->GetSingleton(nullptr, nullptr), gSessionInstance);
	sharedClass->ReleaseSingleton();
	VJSONClass::SetSessionSingletonProvider(nullptr);
	gSessionInstance = nullptr;
}

TEST_F(JSONClassInstance, GettersAndSettersThroughTheClass)
{
	VRefPtr<VJSONObject> sized = MakeClass("Sized", nullptr, {false, false}, 0,
										   {{U("get size"), GetSize, 0}, {U("set size"), SetSize, 0}});
	VRefPtr<VJSONObject> box = MakeClass("Box", sized.Get(), {false, false});
	VRefPtr<VJSONObject> instance = VJSONClass::CreateInstance(box.Get(), nullptr);
	ASSERT_NE(instance, nullptr);
	RaisedErrors errors;
	EXPECT_TRUE(instance->SetProperty(U("size"), VJSONValue(4.7)));
	EXPECT_EQ(instance->GetProperty(U("size")).GetNumber(), 4);
	// The setter refuses what is no number: nothing is stored.
	EXPECT_FALSE(instance->SetProperty(U("size"), VJSONValue(U("big"))));
	EXPECT_EQ(errors.Codes(), std::vector<VError>{VE_JSON_PARAM_NOT_NUMBER});
	EXPECT_EQ(instance->GetProperty(U("size")).GetNumber(), 4);
	EXPECT_FALSE(instance->HasOwnProperty(U("size")));
}

TEST_F(JSONClassInstance, FormulasAndSingletonMaps)
{
	VRefPtr<VJSONObject> formula = MakeClass("Formula", nullptr, {false, false});
	VRefPtr<VJSONObject> derived = MakeClass("Derived", formula.Get(), {false, false});
	VRefPtr<VJSONObject> instance = VJSONClass::CreateInstance(derived.Get(), nullptr);
	EXPECT_FALSE(IsObjectAFormula(instance.Get()));
	fStore.Get()->AddClass(formula.Get(), VJSONClassStore::kAddHidden);
	EXPECT_TRUE(IsObjectAFormula(instance.Get()));
	EXPECT_TRUE(IsObjectAFormula(VJSONValue(instance.Get())));
	EXPECT_FALSE(IsObjectAFormula(NewObject().Get()));
	EXPECT_FALSE(IsObjectAFormula(VJSONValue(3.0)));
	EXPECT_FALSE(IsObjectAFormula(static_cast<const VJSONObject*>(nullptr)));

	MakeChain({true, false}, {true, false}, {false, false});
	std::map<const VJSONClass*, VRefPtr<VJSONObject>> map;
	VJSONClass* c = VJSONClass::FromClassObject(fC.Get());
	VRefPtr<VJSONObject> first = GetSingletonFromMap(map, c, nullptr, nullptr);
	ASSERT_NE(first, nullptr);
	EXPECT_EQ(GetSingletonFromMap(map, c, nullptr, nullptr), first);
	EXPECT_EQ(map.size(), 1u);
	EXPECT_EQ(Text(first->GetOwnProperty(U("log"))), "A;B;");
	// With the caller's context, its parameters reach the constructors.
	std::vector<VJSONValue> parameters{VJSONValue(U("p"))};
	VJSONFunctionContext caller(nullptr, nullptr, nullptr);
	caller.SetParameters(&parameters);
	VJSONClass* b = VJSONClass::FromClassObject(fB.Get());
	EXPECT_EQ(Text(GetSingletonFromMap(map, b, nullptr, &caller)->GetOwnProperty(U("log"))), "A(p);B(p);");
}

TEST(JSONClassInstanceLifetime, InstancesAndSingletonsGoWithTheirStore)
{
	testing::JSONLeakMonitor monitor;
	{
		ScopedClassStore store;
		VRefPtr<VJSONObject> a = VJSONClass::Create(U("A"), {{U("init x"), Initializer, 0}}, nullptr, Constructor,
													 VJSONClass::GenericInstantiator, U("qx"), 0);
		VRefPtr<VJSONObject> one = VJSONClass::Create(U("One"), {{U("describe"), Describe, 0}}, a.Get(), Constructor,
													   VJSONClass::SharedInstantiator, U("qx"),
													   VJSONClass::kFlagShared | VJSONClass::kFlagSingleton);
		store.Get()->AddClass(a.Get(), 0);
		store.Get()->AddClass(one.Get(), 0);
		VRefPtr<VJSONObject> singleton = VJSONClass::FromClassObject(one.Get())->GetSingleton(nullptr, nullptr);
		ASSERT_NE(singleton, nullptr);
		// The initialiser of a class that is not shared runs on a shared
		// instance of its subclass while the instance is in use.
		EXPECT_EQ(Text(singleton->GetProperty(U("x"))), "A");
		VRefPtr<VJSONObject> instance = VJSONClass::CreateInstance(a.Get(), nullptr);
		ASSERT_NE(instance, nullptr);
		EXPECT_TRUE(instance->SetProperty(U("peer"), VJSONValue(singleton.Get())));
		EXPECT_GT(monitor.Objects(), 0);
	}
	EXPECT_EQ(monitor.Objects(), 0);
}

} // namespace
} // namespace qirn
