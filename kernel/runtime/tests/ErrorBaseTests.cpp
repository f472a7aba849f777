// Error objects: their codes, parameters, texts and localized descriptions.
#include "json/VJSONObject.h"
#include "runtime/ILocalizer.h"
#include "runtime/VErrorBase.h"
#include "runtime/VTask.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <thread>

namespace qirn {
namespace {

using Error = VRefPtr<VErrorBase>;

Error Make(VError inError)
{
	return Error::Adopt(new VErrorBase(inError));
}

std::string Text(const VErrorBase& inError, void (VErrorBase::*inForm)(VString&) const)
{
	VString text;
	(inError.*inForm)(text);
	return to_string(text);
}

std::string Parameter(const VErrorBase& inError, const char* inName)
{
	VString text;
	inError.GetParameters()->GetProperty(VString(inName)).GetString(text);
	return to_string(text);
}

TEST(ErrorObject, KeepsItsNumberAndSignatureAsParameters)
{
	Error error = Make(MAKE_VERROR('qirn', 200));
	EXPECT_EQ(error->GetParameters()->GetProperty(VErrorBase::sKeyErrCode).GetNumber(), 200);
	EXPECT_EQ(Parameter(*error, "componentSignature"), "qirn");
	EXPECT_EQ(Text(*error, &VErrorBase::GetErrorString), "Error code: 200 (qirn)");
}

TEST(ErrorObject, PrintsANegativeNumberSigned)
{
	Error error = Make(MAKE_VERROR('CARB', -43));
	EXPECT_EQ(Text(*error, &VErrorBase::GetErrorString), "Error code: -43 (CARB)");
	EXPECT_EQ(error->GetParameters()->GetProperty(VErrorBase::sKeyErrCode).GetNumber(), -43);
}

TEST(ErrorObject, RecordsTheTaskThatBuiltIt)
{
	Error error = Make(VE_MEMORY_FULL);
	VString name;
	int32 id = 0;
	error->GetTaskName(name, &id);
	EXPECT_EQ(id, VTask::GetCurrentID());
	EXPECT_NE(id, 0);

	std::thread([] {
		Error outside = Make(VE_MEMORY_FULL);
		int32 outsideID = -1;
		VString outsideName("x");
		outside->GetTaskName(outsideName, &outsideID);
		EXPECT_EQ(outsideID, 0);
		EXPECT_TRUE(outsideName.IsEmpty());
	}).join();
}

TEST(ErrorObject, CopiesItsParametersDeeply)
{
	Error error = Make(VE_MEMORY_FULL);
	error->SetString(VString("path"), VString("/a"));
	Error copy = Error::Adopt(new VErrorBase(*error));
	copy->SetString(VString("path"), VString("/b"));
	EXPECT_EQ(copy->GetError(), VE_MEMORY_FULL);
	EXPECT_EQ(Parameter(*error, "path"), "/a");
	EXPECT_EQ(Parameter(*copy, "path"), "/b");
}

TEST(ErrorCreate, FillsWhatIsMissingFromTheDefaults)
{
	VRefPtr<VJSONObject> zero = VRefPtr<VJSONObject>::Adopt(new VJSONObject());
	zero->SetProperty(VErrorBase::sKeyErrCode, VJSONValue(0.0));
	EXPECT_EQ(Error::Adopt(VErrorBase::Create(zero.Get(), 0))->GetError(), VE_UNKNOWN_ERROR);

	VRefPtr<VJSONObject> empty = VRefPtr<VJSONObject>::Adopt(new VJSONObject());
	Error error = Error::Adopt(VErrorBase::Create(empty.Get(), 'POSX'));
	EXPECT_EQ(error->GetError(), MAKE_VERROR('POSX', -1));
	EXPECT_EQ(empty->GetProperty(VErrorBase::sKeyErrCode).GetNumber(), -1);
	VString signature;
	empty->GetProperty(VErrorBase::sKeyComponentSignature).GetString(signature);
	EXPECT_EQ(to_string(signature), "POSX");
	EXPECT_EQ(error->GetParameters(), empty.Get());
}

// Numbers from outside are not trusted to fit the 32 bits of a code.
TEST(ErrorCreate, SaturatesAnOutsideNumber)
{
	struct Row {
		double fNumber;
		int32 fExpected;
	};
	const Row rows[] = {
		{3.7, 3},
		{-3.7, -3},
		{1e12, std::numeric_limits<int32>::max()},
		{-1e12, std::numeric_limits<int32>::min()},
		{std::numeric_limits<double>::quiet_NaN(), -1},
		{std::numeric_limits<double>::infinity(), -1},
		{-std::numeric_limits<double>::infinity(), -1},
	};
	for (const Row& row : rows) {
		SCOPED_TRACE(row.fNumber);
		VRefPtr<VJSONObject> parameters = VRefPtr<VJSONObject>::Adopt(new VJSONObject());
		parameters->SetProperty(VErrorBase::sKeyErrCode, VJSONValue(row.fNumber));
		parameters->SetProperty(VErrorBase::sKeyComponentSignature, VJSONValue(VString("xmlc")));
		Error error = Error::Adopt(VErrorBase::Create(parameters.Get(), 0));
		EXPECT_EQ(error->GetError(), MAKE_VERROR('xmlc', row.fExpected));
	}
}

TEST(ErrorLocation, NamesTheKernelOrTheComponent)
{
	EXPECT_EQ(Text(*Make(VE_MEMORY_FULL), &VErrorBase::GetLocation), "qirnkit");
	EXPECT_EQ(Text(*Make(MAKE_VERROR('POSX', 2)), &VErrorBase::GetLocation), "component: 'POSX'");
}

// A localizer that knows one code.
class OneMessageLocalizer : public ILocalizer {
public:
	OneMessageLocalizer(VError inError, const char* inMessage) : fError(inError), fMessage(inMessage) {}
	DialectCode GetLocalizationLanguage() override { return 1033; }
	bool LocalizeStringWithKey(const VString&, VString&) override { return false; }
	bool LocalizeStringWithDotStringsKey(const VString&, VString&) override { return false; }
	const VValueBag* RetainGroupBag(const VString&) override { return nullptr; }
	bool LocalizeErrorMessage(VError inError, VString& outMessage) override
	{
		if (inError != fError)
			return false;
		outMessage.FromString(fMessage);
		return true;
	}

private:
	VError fError;
	VString fMessage;
};

// Registers for a test only.
class ErrorDescription : public ::testing::Test {
protected:
	static constexpr VError kLocalized = MAKE_VERROR('tst1', 7);
	void SetUp() override { VErrorBase::RegisterLocalizer('tst1', &fLocalizer); }
	void TearDown() override { VErrorBase::UnregisterLocalizer('tst1'); }
	OneMessageLocalizer fLocalizer{kLocalized, "cannot open {path}{missing}"};
};

TEST_F(ErrorDescription, ComesFromTheLocalizerWithItsPlaceholdersFilled)
{
	EXPECT_EQ(VErrorBase::GetLocalizer('tst1'), &fLocalizer);
	Error error = Make(kLocalized);
	error->SetString(VString("path"), VString("/tmp/a.txt"));
	EXPECT_EQ(Text(*error, &VErrorBase::GetErrorDescription), "cannot open /tmp/a.txt");
}

TEST_F(ErrorDescription, PrefersTheMessageParameter)
{
	Error error = Make(kLocalized);
	error->SetDescription(VString("fixed"));
	EXPECT_EQ(Text(*error, &VErrorBase::GetErrorDescription), "fixed");
}

TEST_F(ErrorDescription, FallsBackToTheErrorString)
{
	Error unknownCode = Make(MAKE_VERROR('tst1', 8));
	EXPECT_EQ(Text(*unknownCode, &VErrorBase::GetErrorDescription), "Error code: 8 (tst1)");
	VErrorBase::UnregisterLocalizer('tst1');
	EXPECT_EQ(VErrorBase::GetLocalizer('tst1'), nullptr);
	Error unregistered = Make(kLocalized);
	EXPECT_EQ(Text(*unregistered, &VErrorBase::GetErrorDescription), "Error code: 7 (tst1)");
}

TEST_F(ErrorDescription, FreezesOnceAndKeepsAnEarlierMessage)
{
	Error error = Make(kLocalized);
	error->FreezeDescription();
	VErrorBase::UnregisterLocalizer('tst1');
	EXPECT_EQ(Parameter(*error, "message"), "cannot open ");
	error->SetDescription(VString("set"));
	error->FreezeDescription();
	EXPECT_EQ(Parameter(*error, "message"), "set");
}

TEST_F(ErrorDescription, CallLocalizerAcceptsCodeZeroAndClearsOnAMiss)
{
	Error error = Make(kLocalized);
	VString text("kept");
	EXPECT_TRUE(error->CallLocalizer(&fLocalizer, VE_OK, text));
	EXPECT_EQ(to_string(text), "kept");
	EXPECT_FALSE(error->CallLocalizer(&fLocalizer, MAKE_VERROR('tst1', 9), text));
	EXPECT_TRUE(text.IsEmpty());
	EXPECT_FALSE(error->CallLocalizer(nullptr, kLocalized, text));
}

TEST(ErrorDescriptionOfNativeErrors, UsesTheSystemTextOfAnErrno)
{
	EXPECT_EQ(Text(*Make(MAKE_VERROR('POSX', 2)), &VErrorBase::GetErrorDescription),
			  std::string(std::strerror(2)));
	// Linux has no texts for the other wrapped platforms.
	EXPECT_EQ(Text(*Make(MAKE_VERROR('MACH', 5)), &VErrorBase::GetErrorDescription),
			  "Error code: 5 (MACH)");
}

TEST(ErrorActionDescription, FillsItsPlaceholders)
{
	Error error = Make(VE_MEMORY_FULL);
	EXPECT_TRUE(Text(*error, &VErrorBase::GetActionDescription).empty());
	error->SetString(VString("action_description"), "free {what} {unknown}now");
	error->SetString(VString("what"), VString("memory"));
	EXPECT_EQ(Text(*error, &VErrorBase::GetActionDescription), "free memory now");
}

TEST(ErrorDump, HasFourLinesForAnErrorBuiltOutsideATask)
{
	VString dump;
	std::thread([&dump] { Make(MAKE_VERROR('POSX', 13))->DumpToString(dump); }).join();
	VString expected;
	expected.Printf("Error code: 13 (POSX)\n%s\ncomponent: 'POSX'\ntask 0\n", std::strerror(13));
	EXPECT_EQ(to_string(dump), to_string(expected));
}

TEST(ErrorDump, NamesTheTaskAndTheAction)
{
	VTask* task = VTask::GetCurrent();
	VString previous;
	task->GetName(previous);
	task->SetName(VString("dumper"));
	Error error = Make(MAKE_VERROR('zzzz', 4));
	task->SetName(previous);
	error->SetString(VString("action_description"), VString("retry"));
	VString expected;
	expected.Printf("Error code: 4 (zzzz)\nError code: 4 (zzzz)\ncomponent: 'zzzz'\nretry\ntask %d, name: 'dumper'\n",
					VTask::GetCurrentID());
	EXPECT_EQ(Text(*error, &VErrorBase::DumpToString), to_string(expected));
}

// The size answered never exceeds the room given.
TEST(ErrorDump, FitsTheBufferItIsGiven)
{
	Error error = Make(VE_MEMORY_FULL);
	for (int32 room : {0, 1, 2, 7, 40, 4096}) {
		SCOPED_TRACE(room);
		char buffer[4096];
		int32 size = room;
		EXPECT_EQ(error->DebugDump(buffer, size), VTC_UTF_16_SMALLENDIAN);
		EXPECT_LE(size, room);
		EXPECT_EQ(size % 2, 0);
		if (room == 4096) {
			VString dump, full;
			dump.FromBlock(buffer, static_cast<VSize>(size), VTC_UTF_16_SMALLENDIAN);
			error->DumpToString(full);
			EXPECT_EQ(to_string(dump), to_string(full));
		}
	}
}

TEST(ErrorJSON, HoldsCodeSignatureAndDescription)
{
	Error error = Make(MAKE_VERROR('CARB', -43));
	error->SetDescription(VString("gone"));
	VRefPtr<VJSONObject> object = VRefPtr<VJSONObject>::Adopt(error->CreateJSONObject());
	EXPECT_EQ(object->GetOwnPropertyCount(), 3u);
	EXPECT_EQ(object->GetProperty(VErrorBase::sKeyErrCode).GetNumber(), -43);
	VString text;
	object->GetProperty(VErrorBase::sKeyComponentSignature).GetString(text);
	EXPECT_EQ(to_string(text), "CARB");
	object->GetProperty(VErrorBase::sKeyMessage).GetString(text);
	EXPECT_EQ(to_string(text), "gone");
}

TEST(ErrorSubclasses, DescribeThemselvesByTheirText)
{
	VRefPtr<VErrorBase> imported = VRefPtr<VErrorBase>::Adopt(new VErrorImported(VE_MEMORY_FULL, VString("remote")));
	EXPECT_EQ(Text(*imported, &VErrorBase::GetErrorDescription), "remote");
	EXPECT_EQ(Text(*imported, &VErrorBase::DumpToString), "remote");
	EXPECT_EQ(Text(*imported, &VErrorBase::GetLocation), "REST Imported Error");
	VRefPtr<VErrorBase> user = VRefPtr<VErrorBase>::Adopt(new VErrorUserGenerated(VE_MEMORY_FULL, VString("mine")));
	EXPECT_EQ(Text(*user, &VErrorBase::GetErrorDescription), "mine");
	EXPECT_EQ(Text(*user, &VErrorBase::DumpToString), "mine");
}

} // namespace
} // namespace qirn
