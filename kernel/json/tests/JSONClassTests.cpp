#include "json/IJSONFunctionContext.h"
#include "json/VJSONClass.h"
#include "json/VJSONCloner.h"
#include "json/VJSONMemberFunction.h"
#include "json/VJSONPropertyIterator.h"
#include "json/VJSONStamp.h"
#include "json/tests/JSONScopedClassStore.h"
#include "testing/TestThreads.h"

#include <algorithm>
#include <initializer_list>

namespace qirn {
namespace {

using testing::ScopedClassStore;
using testing::NewObject;
using testing::U;

using Member = std::pair<const char*, VJSONMemberFunction::NativeFunction>;

EJSONStatus Area(const VJSONObject* /*inThis*/, IJSONFunctionContext* inContext)
{
	inContext->SetResult(VJSONValue(42.0));
	return eJSONStatus_Handled;
}

EJSONStatus Side(const VJSONObject* /*inThis*/, IJSONFunctionContext* inContext)
{
	inContext->SetResult(VJSONValue(2.0));
	return eJSONStatus_Handled;
}

// The label lives in the own property "_label": the getter and setter are
// how the object shows it.
EJSONStatus GetLabel(const VJSONObject* inThis, IJSONFunctionContext* inContext)
{
	VJSONValue label = inThis->GetOwnProperty(U("_label"));
	inContext->SetResult(label.IsUndefined() ? VJSONValue(U("none")) : label);
	return eJSONStatus_Handled;
}

EJSONStatus SetLabel(const VJSONObject* /*inThis*/, IJSONFunctionContext* inContext)
{
	if (!inContext->GetParam(1).IsString())
		return eJSONStatus_Failed;
	inContext->GetThisObject()->SetOwnProperty(U("_label"), inContext->GetParam(1));
	return eJSONStatus_Handled;
}

EJSONStatus Perimeter(const VJSONObject* /*inThis*/, IJSONFunctionContext* inContext)
{
	inContext->SetResult(VJSONValue(8.0));
	return eJSONStatus_Handled;
}

EJSONStatus SetSecret(const VJSONObject* /*inThis*/, IJSONFunctionContext* inContext)
{
	inContext->GetThisObject()->SetOwnProperty(U("_secret"), inContext->GetParam(1));
	return eJSONStatus_Handled;
}

VRefPtr<VJSONObject> MakeClass(const char* inName, VJSONObject* inSuperClassObject,
							   std::initializer_list<Member> inMembers)
{
	VRefPtr<VJSONObject> classObject = VJSONClass::Create(U(inName), inSuperClassObject, U("qx"), 0);
	VJSONClass* theClass = VJSONClass::FromClassObject(classObject.Get());
	std::vector<std::pair<VString, VRefPtr<VJSONObject>>> functions;
	for (const auto& [name, function] : inMembers)
		functions.emplace_back(U(name), VJSONMemberFunction::Create(function, U(name), theClass, 0));
	theClass->SetFunctions(functions, nullptr, nullptr);
	return classObject;
}

VRefPtr<VJSONObject> NewInstance(VJSONObject* inClassObject, bool inShared = false)
{
	return VRefPtr<VJSONObject>::Adopt(new VJSONObject(inClassObject, nullptr, inShared));
}

std::string Text(const VJSONValue& inValue)
{
	VString text;
	inValue.GetString(text);
	return to_string(text);
}

std::string ClassName(const VJSONObject* inObject)
{
	VString name;
	inObject->GetClassName(name);
	return to_string(name);
}

template <class Iterator>
std::vector<std::string> Names(Iterator&& ioIterator)
{
	std::vector<std::string> names;
	for (; ioIterator.IsValid(); ++ioIterator)
		names.push_back(to_string(ioIterator.GetName()));
	return names;
}

// A store with its roots, a class Shape (a method, a getter and setter pair,
// a getter alone, a setter alone) and its subclass Square (one method).
class JSONClass : public ::testing::Test {
protected:
	ScopedClassStore fStore;
	VRefPtr<VJSONObject> fShape = MakeClass("Shape", nullptr,
											{{"area", Area},
											 {"get label", GetLabel},
											 {"set label", SetLabel},
											 {"get perimeter", Perimeter},
											 {"set secret", SetSecret}});
	VRefPtr<VJSONObject> fSquare = MakeClass("Square", fShape.Get(), {{"side", Side}});

	VJSONClass* Shape() const { return VJSONClass::FromClassObject(fShape.Get()); }
	VJSONClass* Square() const { return VJSONClass::FromClassObject(fSquare.Get()); }
};

TEST_F(JSONClass, ThePlainObjectsOfAProcessAreOfItsObjectClass)
{
	VRefPtr<VJSONObject> plain = NewObject();
	EXPECT_EQ(plain->GetClassObject(), fStore.GetObjectClassObject());
	EXPECT_TRUE(plain->IsGenericObject());
	EXPECT_EQ(plain->_GetPrototype(), VJSONClass::FromClassObject(fStore.GetObjectClassObject())->GetPrototype());
	EXPECT_EQ(ClassName(plain.Get()), "Object");
	// The class's name comes before the shared object's.
	EXPECT_EQ(ClassName(NewInstance(nullptr, true).Get()), "Object");
	EXPECT_TRUE(plain->IsEmpty());
	// What the class machinery keeps inside a class is of no class.
	EXPECT_EQ(Shape()->GetPrototype()->GetClassObject(), nullptr);
}

TEST_F(JSONClass, TheRootClassesAreOfTheClassClass)
{
	VJSONObject* classClassObject = fStore.GetClassClassObject();
	for (VJSONObject* root : {fStore.GetObjectClassObject(), classClassObject, fStore.GetFunctionClassObject()}) {
		SCOPED_TRACE(to_string(VJSONClass::FromClassObject(root)->GetName()));
		EXPECT_EQ(root->GetClassObject(), classClassObject);
		EXPECT_FALSE(root->IsGenericObject());
	}
	EXPECT_EQ(fStore.GetObjectClassObject()->_GetConstructionLevel(), 1u);
	EXPECT_EQ(classClassObject->_GetConstructionLevel(), 2u);
	EXPECT_EQ(fShape->GetClassObject(), classClassObject);
	EXPECT_EQ(ClassName(fShape.Get()), "Class");
	EXPECT_TRUE(fShape->IsShared());
	// A member function is of the "Function" class.
	EXPECT_EQ(Shape()->GetFunction(U("area"))->GetClassObject(), fStore.GetFunctionClassObject());
}

TEST_F(JSONClass, DepthsAndIdsFollowTheSuperclasses)
{
	EXPECT_EQ(VJSONClass::FromClassObject(fStore.GetObjectClassObject())->GetDepth(), 0u);
	EXPECT_EQ(VJSONClass::FromClassObject(fStore.GetClassClassObject())->GetDepth(), 1u);
	// Without superclass, a class derives from the store's "Object".
	EXPECT_EQ(Shape()->GetSuperClassObject(), fStore.GetObjectClassObject());
	EXPECT_EQ(Shape()->GetDepth(), 1u);
	EXPECT_EQ(Square()->GetSuperClass(), Shape());
	EXPECT_EQ(Square()->GetDepth(), 2u);
	EXPECT_EQ(Square()->GetID(), Shape()->GetID() + 1);
	EXPECT_EQ(to_string(Square()->GetStoreName()), "qx");
	// A superclass object must carry a class.
	EXPECT_EQ(VJSONClass::Create(U("Bad"), NewObject().Get(), U("qx"), 0), nullptr);
}

TEST_F(JSONClass, AMissingNameReadsTheClassMethodOrGetter)
{
	VRefPtr<VJSONObject> square = NewInstance(fSquare.Get());
	VJSONValue area = square->GetProperty(U("area"));
	ASSERT_TRUE(area.IsObject());
	EXPECT_EQ(area.GetObject(), Shape()->GetFunction(U("area")));
	VJSONValue result;
	EXPECT_EQ(area.GetObject()->CallAsFunction(square.Get(), nullptr, nullptr, result, nullptr, nullptr),
			  eJSONStatus_Handled);
	EXPECT_EQ(result.GetNumber(), 42);
	EXPECT_EQ(square->GetProperty(U("side")).GetObject(), Square()->GetFunction(U("side")));
	EXPECT_EQ(Text(square->GetProperty(U("label"))), "none");
	EXPECT_EQ(square->GetProperty(U("perimeter")).GetNumber(), 8);
	// An own property hides the class's member.
	square->SetOwnProperty(U("area"), VJSONValue(1.0));
	EXPECT_EQ(square->GetProperty(U("area")).GetNumber(), 1);
	EXPECT_TRUE(square->GetProperty(U("absent")).IsUndefined());
	// A function object of no native code is not called.
	EXPECT_EQ(NewObject()->CallAsFunction(square.Get(), nullptr, nullptr, result, nullptr, nullptr),
			  eJSONStatus_NotHandled);
}

TEST_F(JSONClass, AWriteGoesThroughTheClassSetter)
{
	VRefPtr<VJSONObject> square = NewInstance(fSquare.Get());
	EXPECT_TRUE(square->SetProperty(U("label"), VJSONValue(U("red"))));
	EXPECT_FALSE(square->HasOwnProperty(U("label")));
	EXPECT_EQ(Text(square->GetProperty(U("label"))), "red");
	// The setter's failure is the write's.
	EXPECT_FALSE(square->SetProperty(U("label"), VJSONValue(3.0)));
	// A getter alone refuses writes; a setter alone reads as undefined.
	EXPECT_FALSE(square->SetProperty(U("perimeter"), VJSONValue(3.0)));
	EXPECT_FALSE(square->HasOwnProperty(U("perimeter")));
	EXPECT_TRUE(square->SetProperty(U("secret"), VJSONValue(5.0)));
	EXPECT_EQ(square->GetOwnProperty(U("_secret")).GetNumber(), 5);
	EXPECT_TRUE(square->GetProperty(U("secret")).IsUndefined());
	// Other names are own properties.
	EXPECT_TRUE(square->SetProperty(U("x"), VJSONValue(1.0)));
	EXPECT_EQ(square->GetOwnProperty(U("x")).GetNumber(), 1);
}

TEST_F(JSONClass, AnObjectHasTheMethodsOfItsPrototypesUpTheSuperclasses)
{
	VRefPtr<VJSONObject> square = NewInstance(fSquare.Get());
	for (const char* name : {"side", "area", "get label"}) {
		SCOPED_TRACE(name);
		EXPECT_TRUE(square->HasProperty(U(name)));
	}
	EXPECT_FALSE(square->HasProperty(U("absent")));
	EXPECT_FALSE(NewInstance(fShape.Get())->HasProperty(U("side")));
	EXPECT_TRUE(Square()->GetPrototype()->HasOwnProperty(U("side")));
	EXPECT_FALSE(Square()->GetPrototype()->HasOwnProperty(U("area")));
}

// An implementation that answers every name with nothing, or fails.
class AnswersNothing : public IJSONObject {
public:
	explicit AnswersNothing(EJSONStatus inStatus) : fStatus(inStatus) {}
	EJSONStatus IJSON_GetProperty(const VJSONObject*, const VString&, VJSONValue& outValue,
								  VDBLanguageContext*) override
	{
		outValue = VJSONValue(JSON_undefined);
		return fStatus;
	}

private:
	EJSONStatus fStatus;
};

TEST_F(JSONClass, AnImplementationThatFindsNothingLeavesHasPropertyToThePrototypes)
{
	for (EJSONStatus status : {eJSONStatus_Handled, eJSONStatus_Failed}) {
		SCOPED_TRACE(status);
		VRefPtr<IJSONObject> impl = VRefPtr<IJSONObject>::Adopt(new AnswersNothing(status));
		VRefPtr<VJSONObject> object = VRefPtr<VJSONObject>::Adopt(new VJSONObject(fSquare.Get(), impl.Get()));
		object->SetOwnProperty(U("own"), VJSONValue(1.0));
		EXPECT_TRUE(object->HasProperty(U("area")));
		// The implementation's answer stands for the own properties.
		EXPECT_FALSE(object->HasProperty(U("own")));
		EXPECT_FALSE(object->HasProperty(U("absent")));
	}
}

TEST_F(JSONClass, InstancesKnowTheirClassesAndSuperclasses)
{
	VRefPtr<VJSONObject> square = NewInstance(fSquare.Get());
	VRefPtr<VJSONObject> shape = NewInstance(fShape.Get());
	EXPECT_TRUE(square->IsInstanceOf(fSquare.Get()));
	EXPECT_TRUE(square->IsInstanceOf(fShape.Get()));
	EXPECT_TRUE(square->IsInstanceOf(fStore.GetObjectClassObject()));
	EXPECT_FALSE(shape->IsInstanceOf(fSquare.Get()));
	EXPECT_FALSE(shape->IsInstanceOf(Square()));
	// What carries no class is no class to be an instance of.
	EXPECT_FALSE(shape->IsInstanceOf(NewObject().Get()));
	EXPECT_FALSE(shape->IsInstanceOf(static_cast<const VJSONObject*>(nullptr)));
	EXPECT_FALSE(VJSONClass::Create(U("Other"), nullptr, U("qx"), 0)->IsInstanceOf(fShape.Get()));
	EXPECT_FALSE(square->IsGenericObject());
	EXPECT_EQ(ClassName(square.Get()), "Square");
	EXPECT_EQ(square->GetClassObject(), fSquare.Get());
	EXPECT_EQ(square->_GetPrototype(), Square()->GetPrototype());
}

TEST_F(JSONClass, SettingTheClassUsesTheNewAndUnusesTheOld)
{
	VRefPtr<VJSONObject> object = NewInstance(fShape.Get());
	uint32 shapeCount = fShape->GetRefCount();
	object->_SetClass(Square());
	EXPECT_TRUE(object->IsInstanceOf(fSquare.Get()));
	// The last instance of Shape gone, Shape's class object is no longer held for it.
	EXPECT_EQ(fShape->GetRefCount(), shapeCount - 1);
	object->_SetClass(nullptr);
	EXPECT_EQ(object->GetClassObject(), fSquare.Get());
	object->_DetachClass();
	EXPECT_EQ(object->GetClassObject(), nullptr);
}

TEST_F(JSONClass, MembersAreInstalledOnce)
{
	std::vector<std::pair<VString, VRefPtr<VJSONObject>>> more;
	more.emplace_back(U("late"), VJSONMemberFunction::Create(Area, U("late"), Shape(), 0));
	Shape()->SetFunctions(more, nullptr, nullptr);
	EXPECT_EQ(Shape()->GetFunction(U("late")), nullptr);
	EXPECT_FALSE(Shape()->GetPrototype()->HasOwnProperty(U("late")));
	// A name with a space tells its kind.
	EXPECT_EQ(Text(Shape()->GetFunction(U("get label"))->GetOwnProperty(U("eventName"))), "get");
	EXPECT_TRUE(Shape()->GetFunction(U("area"))->GetOwnProperty(U("eventName")).IsUndefined());
	// The error members made for unpaired names are final.
	EXPECT_TRUE(Shape()->GetSetter(U("perimeter"))->GetOwnProperty(U("final")).GetBool());
	EXPECT_EQ(Text(Shape()->GetSetter(U("perimeter"))->GetProperty(U("_description"))),
			  "Shape.set perimeter");
}

TEST_F(JSONClass, AnObjectWithGettersIsNotEmpty)
{
	EXPECT_FALSE(NewInstance(fSquare.Get())->IsEmpty());
	EXPECT_TRUE(NewInstance(MakeClass("Bare", nullptr, {{"area", Area}}).Get())->IsEmpty());
}

TEST_F(JSONClass, AGetterStampIsTheObjectsCounter)
{
	VRefPtr<VJSONObject> square = NewInstance(fSquare.Get(), true);
	VJSONUser user(square.Get(), false);
	ASSERT_EQ(square->GetJSONStamp(), nullptr);
	EXPECT_EQ(square->GetPropertyStamp(U("label")), 0u);
	VJSONStamp* stamp = square->GetJSONStamp();
	ASSERT_NE(stamp, nullptr);
	square->SetProperty(U("label"), VJSONValue(U("red")));
	EXPECT_EQ(square->GetPropertyStamp(U("label")), stamp->GetCounter());
	EXPECT_EQ(square->GetPropertyStampWithPath(U("label")), stamp->GetCounter());
	EXPECT_GT(stamp->GetCounter(), 0u);
	// The stamp is made once.
	EXPECT_EQ(square->GetJSONStamp(), stamp);
	// Other names keep the stamps of their values.
	square->SetProperty(U("x"), VJSONValue(1.0));
	EXPECT_NE(square->GetPropertyStamp(U("x")), stamp->GetCounter());
}

TEST_F(JSONClass, ThreadsReadingGettersOfASharedObjectMakeOneStamp)
{
	VRefPtr<VJSONObject> square = NewInstance(fSquare.Get(), true);
	std::vector<VJSONStamp*> stamps(4);
	testing::RunOnThreads(4, [&](int inThread) {
		for (int i = 0; i < 100; ++i) {
			square->GetPropertyStamp(U("label"));
			EXPECT_EQ(Text(square->GetProperty(U("label"))), "none");
			// Instances come and go: the class object is used and unused.
			NewInstance(fSquare.Get());
		}
		stamps[inThread] = square->GetJSONStamp();
	});
	for (VJSONStamp* stamp : stamps)
		EXPECT_EQ(stamp, square->GetJSONStamp());
}

TEST_F(JSONClass, IteratorsListTheGetterNames)
{
	VRefPtr<VJSONObject> square = NewInstance(fSquare.Get());
	square->SetOwnProperty(U("own"), VJSONValue(1.0));
	const std::vector<std::string> getters = [&] {
		std::vector<VString> names;
		Square()->GetGetterNames(names);
		std::vector<std::string> out;
		for (const VString& name : names)
			out.push_back(to_string(name));
		return out;
	}();
	std::vector<std::string> sorted = getters;
	std::sort(sorted.begin(), sorted.end());
	EXPECT_EQ(sorted, (std::vector<std::string>{"label", "perimeter", "secret"}));
	std::vector<std::string> withOwn = getters;
	withOwn.push_back("own");
	EXPECT_EQ(Names(VJSONPropertyIterator(square.Get())), withOwn);
	EXPECT_EQ(Names(VJSONPropertyConstIterator(square.Get())), withOwn);
	EXPECT_EQ(Names(VJSONPropertyConstOrderedIterator(square.Get(), 0)), withOwn);
	EXPECT_EQ(Names(VJSONPropertyConstOrderedIterator(square.Get(), 1)), withOwn);
	EXPECT_EQ(Names(VJSONPropertyConstOrderedIterator(square.Get(), 3)), std::vector<std::string>{"own"});
	// A getter name reads and writes through the class.
	VJSONPropertyIterator it(square.Get());
	while (it.IsValid() && to_string(it.GetName()) != "label")
		++it;
	ASSERT_TRUE(it.IsValid());
	EXPECT_EQ(Text(it.GetValue()), "none");
	it.SetValue(VJSONValue(U("blue")));
	EXPECT_EQ(Text(it.GetValue()), "blue");
	// A shared object's snapshot lists its own names, then the getters.
	VRefPtr<VJSONObject> shared = NewInstance(fSquare.Get(), true);
	{
		VJSONUser user(shared.Get(), false);
		shared->SetOwnProperty(U("own"), VJSONValue(1.0));
	}
	std::vector<std::string> ownFirst{"own"};
	ownFirst.insert(ownFirst.end(), getters.begin(), getters.end());
	EXPECT_EQ(Names(VJSONPropertyConstOrderedIterator(shared.Get(), 1)), ownFirst);
	EXPECT_EQ(Names(VJSONPropertyConstIterator(shared.Get())), ownFirst);
}

TEST_F(JSONClass, ACloneKeepsTheClass)
{
	VRefPtr<VJSONObject> square = NewInstance(fSquare.Get());
	square->SetProperty(U("label"), VJSONValue(U("red")));
	VJSONCloner cloner;
	VJSONValue copy;
	ASSERT_EQ(square->Clone(copy, cloner), VE_OK);
	EXPECT_TRUE(copy.GetObject()->IsInstanceOf(fSquare.Get()));
	EXPECT_EQ(Text(copy.GetProperty(U("label"))), "red");
	// An object of no class stays so.
	ASSERT_EQ(Shape()->GetPrototype()->Clone(copy, cloner), VE_OK);
	EXPECT_EQ(copy.GetObject()->GetClassObject(), nullptr);
}

TEST(JSONClassWithoutStore, ObjectsHaveNoClassAndClassesNoSuperclass)
{
	testing::ScopedNoClassStore noStore;
	EXPECT_EQ(IJSONClassStore::GetProcessStore(), nullptr);
	VRefPtr<VJSONObject> plain = NewObject();
	EXPECT_EQ(plain->GetClassObject(), nullptr);
	EXPECT_EQ(plain->_GetPrototype(), nullptr);
	EXPECT_TRUE(plain->IsGenericObject());
	EXPECT_FALSE(plain->IsInstanceOf(static_cast<const VJSONClass*>(nullptr)));
	VRefPtr<VJSONObject> lone = VJSONClass::Create(U("Lone"), nullptr, U("qx"), 0);
	EXPECT_EQ(VJSONClass::FromClassObject(lone.Get())->GetDepth(), 0u);
	EXPECT_EQ(lone->GetClassObject(), nullptr);
	// An unnamed class leaves the name to the kind of object.
	VRefPtr<VJSONObject> unnamed = VJSONClass::Create(VString(), nullptr, U("qx"), 0);
	EXPECT_EQ(ClassName(NewInstance(unnamed.Get(), true).Get()), "Shared Object");
	EXPECT_EQ(ClassName(NewInstance(unnamed.Get()).Get()), "Object");
	EXPECT_TRUE(NewInstance(lone.Get())->IsGenericObject());
}

TEST(JSONClassLifetime, ClassesPrototypesAndFunctionsAllGoWithTheirLastHolder)
{
	testing::JSONLeakMonitor monitor;
	{
		ScopedClassStore store;
		VRefPtr<VJSONObject> shape = MakeClass("Shape", nullptr, {{"area", Area}, {"get label", GetLabel}});
		VRefPtr<VJSONObject> square = MakeClass("Square", shape.Get(), {{"side", Side}, {"set label", SetLabel}});
		VRefPtr<VJSONObject> first = NewInstance(square.Get());
		VRefPtr<VJSONObject> second = NewInstance(shape.Get());
		// Instances in a cycle: the graph frees them, and they their classes.
		EXPECT_TRUE(first->SetProperty(U("other"), VJSONValue(second.Get())));
		EXPECT_TRUE(second->SetProperty(U("other"), VJSONValue(first.Get())));
		EXPECT_TRUE(first->SetProperty(U("label"), VJSONValue(U("red"))));
		// The class objects outlive the handles through their instances.
		shape = nullptr;
		square = nullptr;
		EXPECT_EQ(Text(first->GetProperty(U("label"))), "red");
		EXPECT_TRUE(first->IsInstanceOf(second->GetClassObject()));
		second = nullptr;
		EXPECT_GT(monitor.Objects(), 0);
	}
	EXPECT_EQ(monitor.Objects(), 0);
}

} // namespace
} // namespace qirn
