// Errors, contexts and task stacks saved into bags and loaded back.
#include "FreshTask.h"

#include "bags_xml/VBagArray.h"
#include "bags_xml/VValueBag.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"
#include "runtime/VError.h"
#include "runtime/VErrorBase.h"
#include "runtime/VErrorContext.h"
#include "runtime/VTask.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qirn {
namespace {

using testing::RunInFreshTask;
using Error = VRefPtr<VErrorBase>;
using Bag = VRefPtr<VValueBag>;

constexpr VError kEOF = MAKE_VERROR('qirn', 200);
constexpr VError kNotFound = MAKE_VERROR('qirn', 600);
constexpr VError kCarbonNotFound = MAKE_VERROR('CARB', -43);

Bag NewBag()
{
	return Bag::Adopt(new VValueBag());
}

std::string Parameter(const VErrorBase& inError, const char* inName)
{
	VString text;
	inError.GetParameters()->GetProperty(VString(inName)).GetString(text);
	return to_string(text);
}

std::vector<VError> Codes(const VErrorList& inErrors)
{
	std::vector<VError> codes;
	for (const Error& error : inErrors)
		codes.push_back(error->GetError());
	return codes;
}

// A bag whose "error" elements are the saved forms of the codes, raised on
// a task named "saver".
Bag SavedErrors(const std::vector<VError>& inCodes)
{
	Bag bag = NewBag();
	RunInFreshTask([&] {
		VTask::GetCurrent()->SetName(VString("saver"));
		VRefPtr<VErrorContext> context = VRefPtr<VErrorContext>::Adopt(new VErrorContext());
		for (VError code : inCodes) {
			Error error = Error::Adopt(new VErrorBase(code));
			error->SetString(VString("path"), VString("Root:tmp:a"));
			context->PushError(error.Get());
		}
		EXPECT_EQ(context->SaveToBag(*bag), VE_OK);
	});
	return bag;
}

TEST(ErrorBag, RestoresCodeTaskAndParameters)
{
	Bag bag = NewBag();
	int32 taskID = 0;
	RunInFreshTask([&] {
		VTask::GetCurrent()->SetName(VString("worker"));
		taskID = VTask::GetCurrent()->GetID();
		Error error = Error::Adopt(new VErrorBase(kCarbonNotFound));
		error->SetString(VString("path"), VString("Root:tmp:\u00e9t\u00e9"));
		error->SetLong8(VString("size"), 5000000000LL);
		EXPECT_EQ(error->SaveToBag(*bag), VE_OK);
	});

	Error loaded = Error::Adopt(new VErrorBase());
	ASSERT_EQ(loaded->LoadFromBag(*bag), VE_OK);
	EXPECT_EQ(loaded->GetError(), kCarbonNotFound);
	VString name;
	int32 loadedID = 0;
	loaded->GetTaskName(name, &loadedID);
	EXPECT_EQ(to_string(name), "worker");
	EXPECT_EQ(loadedID, taskID);
	EXPECT_EQ(Parameter(*loaded, "path"), "Root:tmp:\u00e9t\u00e9");
	EXPECT_EQ(Parameter(*loaded, "componentSignature"), "CARB");
	EXPECT_EQ(loaded->GetParameters()->GetProperty(VString("errCode")).GetNumber(), -43.0);
	EXPECT_EQ(loaded->GetParameters()->GetProperty(VString("size")).GetNumber(), 5000000000.0);
	// The description comes from the restored parameters as it did from the original.
	VString description;
	loaded->GetErrorString(description);
	EXPECT_EQ(to_string(description), "Error code: -43 (CARB)");
}

TEST(ErrorBag, WritesTheCodeAsOneSixtyFourBitAttribute)
{
	Error error = Error::Adopt(new VErrorBase(kCarbonNotFound));
	Bag bag = NewBag();
	error->SaveToBag(*bag);
	sLONG8 code = 0;
	ASSERT_TRUE(bag->GetLong8(StPackedDictionaryKey("error_code"), code));
	EXPECT_EQ(static_cast<VError>(code), kCarbonNotFound);
	ASSERT_NE(bag->GetElements(ErrorBagKeys::parameters), nullptr);
	EXPECT_EQ(bag->GetElements(ErrorBagKeys::parameters)->GetCount(), 1);
}

TEST(ErrorBag, SavedTwiceKeepsOneParametersElement)
{
	Error error = Error::Adopt(new VErrorBase(kEOF));
	Bag bag = NewBag();
	error->SaveToBag(*bag);
	error->SetString(VString("path"), VString("b"));
	error->SaveToBag(*bag);
	ASSERT_EQ(bag->GetElements(ErrorBagKeys::parameters)->GetCount(), 1);
	Error loaded = Error::Adopt(new VErrorBase());
	loaded->LoadFromBag(*bag);
	EXPECT_EQ(Parameter(*loaded, "path"), "b");
}

TEST(ErrorBag, LoadsWhatABagHasAndClearsAnAbsentName)
{
	Bag bag = NewBag();
	bag->SetLong8(StPackedDictionaryKey("error_code"), static_cast<sLONG8>(kEOF));
	Error loaded = Error::Adopt(new VErrorBase(kNotFound));
	VString name;
	ASSERT_EQ(loaded->LoadFromBag(*bag), VE_OK);
	EXPECT_EQ(loaded->GetError(), kEOF);
	loaded->GetTaskName(name);
	EXPECT_TRUE(name.IsEmpty());
	// Without a "parameters" element the parameters are those it had.
	EXPECT_EQ(Parameter(*loaded, "componentSignature"), "qirn");
}

TEST(ErrorContextBag, RestoresSeveralErrorsInOrder)
{
	Bag bag = SavedErrors({kEOF, kNotFound, kCarbonNotFound});
	ASSERT_EQ(bag->GetElements(ErrorBagKeys::error)->GetCount(), 3);

	VRefPtr<VErrorContext> context = VRefPtr<VErrorContext>::Adopt(new VErrorContext());
	ASSERT_EQ(context->LoadFromBag(*bag), VE_OK);
	EXPECT_EQ(Codes(context->GetErrors()), (std::vector<VError>{kEOF, kNotFound, kCarbonNotFound}));
	for (const Error& error : context->GetErrors()) {
		SCOPED_TRACE(error->GetError());
		EXPECT_EQ(Parameter(*error, "path"), "Root:tmp:a");
		VString name;
		error->GetTaskName(name);
		EXPECT_EQ(to_string(name), "saver");
	}
}

TEST(ErrorContextBag, AppendsLoadedErrorsWithoutTouchingTheMemoryFlag)
{
	Bag bag = SavedErrors({MAKE_VERROR('qirn', 100)});
	VRefPtr<VErrorContext> context = VRefPtr<VErrorContext>::Adopt(new VErrorContext());
	Error first = Error::Adopt(new VErrorBase(kEOF));
	context->PushError(first.Get());
	ASSERT_EQ(context->LoadFromBag(*bag), VE_OK);
	EXPECT_EQ(Codes(context->GetErrors()), (std::vector<VError>{kEOF, MAKE_VERROR('qirn', 100)}));
	EXPECT_FALSE(context->FailedForMemory());
}

TEST(ErrorContextBag, SavesNothingForAnEmptyContext)
{
	VRefPtr<VErrorContext> context = VRefPtr<VErrorContext>::Adopt(new VErrorContext());
	Bag bag = NewBag();
	EXPECT_EQ(context->SaveToBag(*bag), VE_OK);
	EXPECT_TRUE(bag->IsEmpty());
}

TEST(TaskErrorsFromBag, ArePushedOnTheTaskStackInOrder)
{
	Bag bag = SavedErrors({kEOF, kCarbonNotFound});
	RunInFreshTask([&] {
		_ThrowError(kNotFound);
		VTask::GetErrorContext(true)->PushErrorsFromBag(*bag);
		VRefPtr<VErrorContext> all = VRefPtr<VErrorContext>::Adopt(new VErrorContext());
		VTask::GetErrorContext(false)->GetErrors(*all);
		EXPECT_EQ(Codes(all->GetErrors()), (std::vector<VError>{kNotFound, kEOF, kCarbonNotFound}));
		EXPECT_EQ(VTask::GetLastError(), kCarbonNotFound);
	});
}

TEST(TaskErrorsFromBag, PushedIntoAFilteringScopeAreDroppedWithIt)
{
	Bag bag = SavedErrors({kEOF, kNotFound});
	RunInFreshTask([&] {
		{
			StErrorContextInstaller scope({kEOF});
			VTask::GetErrorContext(true)->PushErrorsFromBag(*bag);
			EXPECT_EQ(scope.GetLastError(), kNotFound);
		}
		EXPECT_EQ(VTask::GetLastError(), VE_OK);
	});
}

TEST(ErrorStackBag, ListsEveryErrorOfTheTaskWithItsDescription)
{
	RunInFreshTask([] {
		_ThrowError(kEOF);
		StErrorContextInstaller scope;
		Error error = Error::Adopt(new VErrorBase(kCarbonNotFound));
		error->SetDescription(VString("gone"));
		VTask::PushError(error.Get());

		Bag bag = NewBag();
		VErrorTaskContext::BuildErrorStack(*bag);
		const VBagArray* entries = bag->GetElements(StPackedDictionaryKey("__ERROR"));
		ASSERT_NE(entries, nullptr);
		ASSERT_EQ(entries->GetCount(), 2);
		struct Row {
			const char* fSignature;
			sLONG fNumber;
			const char* fMessage;
		};
		const Row rows[] = {{"qirn", 200, "Error code: 200 (qirn)"}, {"CARB", -43, "gone"}};
		for (VIndex index = 1; index <= 2; ++index) {
			const Row& row = rows[index - 1];
			SCOPED_TRACE(row.fSignature);
			const VValueBag* entry = entries->GetNth(index);
			VString text;
			sLONG number = 0;
			ASSERT_TRUE(entry->GetString(StPackedDictionaryKey("componentSignature"), text));
			EXPECT_EQ(to_string(text), row.fSignature);
			ASSERT_TRUE(entry->GetLong(StPackedDictionaryKey("errCode"), number));
			EXPECT_EQ(number, row.fNumber);
			ASSERT_TRUE(entry->GetString(StPackedDictionaryKey("message"), text));
			EXPECT_EQ(to_string(text), row.fMessage);
		}
	});
}

TEST(ErrorStackBag, AddsNothingWithoutAStack)
{
	RunInFreshTask([] {
		Bag bag = NewBag();
		VErrorTaskContext::BuildErrorStack(*bag);
		EXPECT_TRUE(bag->IsEmpty());
		EXPECT_EQ(VTask::GetErrorContext(false), nullptr);
	});
}

} // namespace
} // namespace qirn
