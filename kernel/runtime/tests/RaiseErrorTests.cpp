// Raising errors on the current task and translating native causes.
#include "FreshTask.h"

#include "json/VJSONObject.h"
#include "runtime/StThrowError.h"
#include "runtime/VError.h"
#include "runtime/VErrorContext.h"
#include "runtime/VTask.h"
#include "testing/ProbeOutput.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <thread>

namespace qirn {
namespace {

using testing::RunInFreshTask;

constexpr VError kNotFound = MAKE_VERROR('qirn', 600);
constexpr VError kErrnoNotFound = MAKE_VERROR('POSX', 2);

VErrorBase* Last()
{
	return VTask::GetErrorContext(true)->GetLast();
}

TEST(ThrowError, SetsOnlyTheParametersGiven)
{
	StErrorContextInstaller scope(false);
	const VString first("one"), third("three");
	_ThrowError(kNotFound, &first, nullptr, &third);
	ASSERT_EQ(scope.GetLastError(), kNotFound);
	VJSONObject* parameters = Last()->GetParameters();
	EXPECT_TRUE(parameters->HasProperty(VString("p1")));
	EXPECT_FALSE(parameters->HasProperty(VString("p2")));
	EXPECT_TRUE(parameters->HasProperty(VString("p3")));
	VString text;
	parameters->GetProperty(VString("p3")).GetString(text);
	EXPECT_EQ(to_string(text), "three");
}

TEST(ThrowError, RecordsNothingOutsideATask)
{
	std::thread([] {
		_ThrowError(kNotFound);
		EXPECT_EQ(VTask::GetLastError(), VE_OK);
	}).join();
}

// The probe raises before any process object exists, which this program's
// main has already made; its dump then is a short line that never reports
// more than the room it was given.
TEST(ThrowError, RecordsNothingBeforeTheProcessObject)
{
	const testing::ProbeOutput output = testing::RunProbe(QIRN_PROBE_DIR "/qirn_probe_errors_before_process");
	EXPECT_EQ(output.fExitCode, 0);
	const std::map<std::string, std::string> expected = {
		{"before.lastError", "0"},
		{"dump.charset", "7"},
		{"dump.size", "9"},
		{"dump.terminated", "1"},
		{"dump.untouched", "1"},
		{"dump.full", "1"},
		{"dump.fullSize", "1"},
		{"after.lastError", "1"},
	};
	EXPECT_EQ(output.fValues, expected);
}

TEST(PushRetainedError, PutsTheNativeCauseJustBelow)
{
	RunInFreshTask([] {
		_PushRetainedError(new VErrorBase(kNotFound), kErrnoNotFound);
		const VErrorList& errors = VTask::GetErrorContext(false)->GetTop()->GetErrors();
		ASSERT_EQ(errors.size(), 2u);
		EXPECT_EQ(errors[0]->GetError(), kErrnoNotFound);
		EXPECT_EQ(errors[1]->GetError(), kNotFound);
		EXPECT_EQ(VTask::GetLastError(), kNotFound);
	});
}

TEST(PushRetainedError, LeavesTheNativeCauseOutWhenTheErrorIsFiltered)
{
	RunInFreshTask([] {
		StErrorContextInstaller scope({kNotFound});
		_PushRetainedError(new VErrorBase(kNotFound), kErrnoNotFound);
		ASSERT_EQ(scope.GetContext()->GetErrors().size(), 1u);
		EXPECT_EQ(scope.GetLastError(), kNotFound);
	});
}

TEST(ThrowErrorScope, RaisesItsErrorWithItsParametersWhenItEnds)
{
	StErrorContextInstaller scope(false);
	{
		StThrowError<> error(kNotFound, kErrnoNotFound);
		error->SetString(VString("path"), VString("/tmp/gone"));
		EXPECT_EQ(scope.GetLastError(), VE_OK);
	}
	EXPECT_EQ(scope.GetLastError(), kNotFound);
	EXPECT_TRUE(scope.GetContext()->GetLast()->GetParameters()->HasProperty(VString("path")));
	EXPECT_EQ(scope.GetContext()->GetFirst()->GetError(), kErrnoNotFound);
}

TEST(UserGeneratedError, IsDescribedByTheMessage)
{
	StErrorContextInstaller scope(false);
	EXPECT_EQ(vThrowUserGeneratedError(kNotFound, VString("where is it?")), kNotFound);
	VString description;
	scope.GetContext()->GetLast()->GetErrorDescription(description);
	EXPECT_EQ(to_string(description), "where is it?");
}

TEST(NativeErrors, TranslateThroughTheTable)
{
	constexpr VError kDefault = MAKE_VERROR('qirn', 77);
	struct Row {
		VError fNative;
		VError fExpected;
	};
	const Row rows[] = {
		{MAKE_VERROR('CARB', -43), kNotFound},
		{MAKE_VERROR('CARB', -108), VE_MEMORY_FULL},
		{MAKE_VERROR('CARB', -50), kDefault},
		{kErrnoNotFound, kNotFound},
		{MAKE_VERROR('POSX', 13), MAKE_VERROR('qirn', 5)},
		{MAKE_VERROR('POSX', 28), kDefault},
		{MAKE_VERROR('POSX', 0), kDefault},
		{MAKE_VERROR('MACH', 5), kDefault},
		{MAKE_VERROR('COCO', 0), MAKE_VERROR('COCO', 0)},
		{kNotFound, kNotFound},
		{VE_UNKNOWN_ERROR, kDefault},
		{VE_OK, VE_OK},
	};
	for (const Row& row : rows) {
		SCOPED_TRACE(row.fNative);
		EXPECT_EQ(VErrorBase::EncodedNativeErrorToVError(row.fNative, kDefault), row.fExpected);
	}
}

TEST(NativeErrors, MapCarbonStatusesOrKeepThemWrapped)
{
	EXPECT_EQ(VErrorBase::MAC_MapCarbonErrorToVError(0), VE_OK);
	EXPECT_EQ(VErrorBase::MAC_MapCarbonErrorToVError(-50), MAKE_VERROR('CARB', -50));
	EXPECT_EQ(VErrorBase::MAC_MapCarbonErrorToVError(-128), MAKE_VERROR('qirn', 6));
}

} // namespace
} // namespace qirn
