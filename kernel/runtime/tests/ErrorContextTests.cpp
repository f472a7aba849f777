// Scopes of errors on a task's stack of contexts: keeping, dropping,
// silent and filtering scopes, and the spare context.
#include "DebugTestDoubles.h"
#include "FreshTask.h"

#include "json/VJSONArray.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"
#include "process/VProcess.h"
#include "runtime/VError.h"
#include "runtime/VErrorContext.h"
#include "runtime/VTask.h"

#include <gtest/gtest.h>

#include <thread>

namespace qirn {
namespace {

using testing::RunInFreshTask;

constexpr VError kEOF = MAKE_VERROR('qirn', 200);
constexpr VError kNotFound = MAKE_VERROR('qirn', 600);
constexpr VError kOther = MAKE_VERROR('qirn', 601);

VErrorTaskContext* Stack()
{
	return VTask::GetErrorContext(true);
}

// Pushes a new error of the code on the current stack; answers whether it
// was quiet (hidden from the debug report).
bool PushQuietly(VError inError)
{
	VRefPtr<VErrorBase> error = VRefPtr<VErrorBase>::Adopt(new VErrorBase(inError));
	bool quiet = false;
	EXPECT_TRUE(Stack()->PushError(error.Get(), &quiet));
	return quiet;
}

// The errors a silent scope keeps go to the process logger when it ends
// under a scope that is not silent; a dropping scope's go nowhere.
TEST(ErrorScope, ASilentScopeHandsItsErrorsToTheProcessLogger)
{
	testing::ProcessLogRecorder logger;
	RunInFreshTask([]() {
		StErrorContextInstaller outer;
		{
			StErrorContextInstaller silent(true, true);
			_ThrowError(kNotFound);
			_ThrowError(kOther);
		}
		{
			StErrorContextInstaller dropping(false, true);
			_ThrowError(kEOF);
		}
		EXPECT_EQ(outer.GetContext()->GetErrors().size(), 2u);
	});
	EXPECT_EQ(logger.Errors(), (std::vector<VError>{kNotFound, kOther}));
}

TEST(ErrorScope, ThatDropsLeavesTheLastErrorAsItWas)
{
	RunInFreshTask([] {
		_ThrowError(kOther);
		{
			StErrorContextInstaller scope(false);
			_ThrowError(kEOF);
			EXPECT_EQ(scope.GetLastError(), kEOF);
			EXPECT_EQ(VTask::GetLastError(), kEOF);
		}
		EXPECT_EQ(VTask::GetLastError(), kOther);
	});
}

TEST(ErrorScope, ThatKeepsHandsItsErrorsToTheEnclosingOne)
{
	RunInFreshTask([] {
		StErrorContextInstaller outer;
		_ThrowError(kOther);
		{
			StErrorContextInstaller inner;
			_ThrowError(kEOF);
			_ThrowError(kNotFound);
		}
		const VErrorList& errors = outer.GetContext()->GetErrors();
		ASSERT_EQ(errors.size(), 3u);
		EXPECT_EQ(errors[0]->GetError(), kOther);
		EXPECT_EQ(errors[1]->GetError(), kEOF);
		EXPECT_EQ(errors[2]->GetError(), kNotFound);
		EXPECT_EQ(VTask::GetLastError(), kNotFound);
	});
}

TEST(ErrorScope, ThatFiltersDropsTheFilteredErrorAndWhatFollows)
{
	RunInFreshTask([] {
		{
			StErrorContextInstaller scope({kEOF});
			EXPECT_TRUE(PushQuietly(kEOF));
			EXPECT_TRUE(PushQuietly(kNotFound));
		}
		EXPECT_EQ(VTask::GetLastError(), VE_OK);
		EXPECT_EQ(Stack()->GetLast(), nullptr);
	});
}

TEST(ErrorScope, ThatFiltersReportsWhatCameBeforeTheFilteredErrorButDropsIt)
{
	RunInFreshTask([] {
		{
			StErrorContextInstaller scope({kEOF});
			EXPECT_FALSE(PushQuietly(kNotFound));
			EXPECT_TRUE(PushQuietly(kEOF));
		}
		EXPECT_EQ(Stack()->GetLast(), nullptr);
	});
}

TEST(ErrorScope, FiltersTheListedCodesUpToAZero)
{
	RunInFreshTask([] {
		struct Row {
			VError fRaised;
			bool fQuiet;
		};
		const Row rows[] = {{kEOF, true}, {kNotFound, false}, {VE_OK, false}};
		for (const Row& row : rows) {
			if (row.fRaised == VE_OK)
				continue;
			SCOPED_TRACE(row.fRaised);
			StErrorContextInstaller scope({kEOF, 0, kNotFound});
			EXPECT_EQ(PushQuietly(row.fRaised), row.fQuiet);
		}
		// The first code is always taken, even a 0.
		StErrorContextInstaller zero({0, kEOF});
		EXPECT_TRUE(Stack()->IsErrorFiltered(VE_OK));
		EXPECT_TRUE(Stack()->IsErrorFiltered(kEOF));
	});
}

TEST(ErrorScope, ThatIsSilentHidesItsErrorsAndKeepsThemAtTheBottom)
{
	RunInFreshTask([] {
		{
			StErrorContextInstaller scope(true, true);
			EXPECT_TRUE(PushQuietly(kEOF));
			EXPECT_TRUE(PushQuietly(kNotFound));
		}
		VErrorTaskContext* stack = Stack();
		ASSERT_EQ(stack->GetContextCount(), 1u);
		EXPECT_FALSE(stack->GetTop()->IsSilent());
		EXPECT_TRUE(stack->GetTop()->IsKeepingErrors());
		EXPECT_EQ(stack->GetTop()->GetErrors().size(), 2u);
		EXPECT_EQ(VTask::GetLastError(), kNotFound);
		EXPECT_EQ(stack->GetFirst()->GetError(), kEOF);
	});
}

TEST(ErrorScope, ThatIsEmptyIsReusedByTheNext)
{
	RunInFreshTask([] {
		VErrorContext* first = nullptr;
		{
			StErrorContextInstaller scope;
			first = scope.GetContext();
		}
		{
			StErrorContextInstaller scope(false, true);
			EXPECT_EQ(scope.GetContext(), first);
			EXPECT_FALSE(scope.GetContext()->IsKeepingErrors());
			EXPECT_TRUE(scope.GetContext()->IsSilent());
		}
		// A filtering scope is not handed on with its codes.
		{
			StErrorContextInstaller filtering({kEOF});
			EXPECT_EQ(filtering.GetContext(), first);
		}
		StErrorContextInstaller after;
		EXPECT_FALSE(after.GetContext()->IsErrorFiltered(kEOF));
	});
}

TEST(ErrorScope, OutsideATaskKeepsItsOwnContextAndRecordsNothing)
{
	std::thread([] {
		EXPECT_EQ(VTask::GetErrorContext(true), nullptr);
		StErrorContextInstaller scope;
		_ThrowError(kEOF);
		EXPECT_TRUE(scope.GetContext()->IsEmpty());
		EXPECT_EQ(VTask::GetLastError(), VE_OK);
		EXPECT_FALSE(VTask::PushError(nullptr));
	}).join();
}

TEST(TaskErrors, FlushOnlyTheInnermostContext)
{
	RunInFreshTask([] {
		StErrorContextInstaller outer;
		_ThrowError(kOther);
		StErrorContextInstaller inner;
		_ThrowError(kEOF);
		VTask::FlushErrors();
		EXPECT_EQ(VTask::GetLastError(), VE_OK);
		ASSERT_NE(Stack()->GetLast(), nullptr);
		EXPECT_EQ(Stack()->GetLast()->GetError(), kOther);
		EXPECT_EQ(Stack()->Find(kOther), Stack()->GetLast());
		EXPECT_EQ(Stack()->Find(kEOF), nullptr);
	});
}

TEST(TaskErrors, NoteAFailureForMemoryInTheInnermostContext)
{
	RunInFreshTask([] {
		EXPECT_FALSE(VTask::FailedForMemory());
		StErrorContextInstaller outer;
		{
			StErrorContextInstaller inner;
			_ThrowError(VE_MEMORY_FULL);
			EXPECT_TRUE(VTask::FailedForMemory());
		}
		EXPECT_TRUE(VTask::FailedForMemory());
		VTask::FlushErrors();
		EXPECT_FALSE(VTask::FailedForMemory());
	});
}

TEST(TaskErrors, TakeTheErrorsOfAnotherContext)
{
	RunInFreshTask([] {
		VRefPtr<VErrorContext> other = VRefPtr<VErrorContext>::Adopt(new VErrorContext());
		VTask::PushErrors(other.Get());
		EXPECT_EQ(Stack()->GetContextCount(), 0u);
		other->PushError(VRefPtr<VErrorBase>::Adopt(new VErrorBase(kEOF)).Get());
		other->PushError(VRefPtr<VErrorBase>::Adopt(new VErrorBase(kNotFound)).Get());
		VTask::PushErrors(other.Get());
		EXPECT_EQ(VTask::GetLastError(), kNotFound);
		EXPECT_EQ(Stack()->GetFirst()->GetError(), kEOF);

		VErrorContext all;
		StErrorContextInstaller scope;
		_ThrowError(kOther);
		Stack()->GetErrors(all);
		ASSERT_EQ(all.GetErrors().size(), 3u);
		EXPECT_EQ(all.GetErrors()[2]->GetError(), kOther);
	});
}

TEST(TaskErrors, InsertedAtTheFrontGoUnderEverything)
{
	RunInFreshTask([] {
		VErrorList errors{VRefPtr<VErrorBase>::Adopt(new VErrorBase(kEOF))};
		Stack()->InsertFrontErrors(errors);
		ASSERT_EQ(Stack()->GetContextCount(), 1u);
		_ThrowError(kOther);
		Stack()->InsertFrontErrors({VRefPtr<VErrorBase>::Adopt(new VErrorBase(kNotFound))});
		EXPECT_EQ(Stack()->GetFirst()->GetError(), kNotFound);
		EXPECT_EQ(VTask::GetLastError(), kOther);
	});
}

TEST(TaskErrors, MergeTheLastContextDownAndEmptyIt)
{
	RunInFreshTask([] {
		StErrorContextInstaller outer;
		StErrorContextInstaller inner;
		_ThrowError(kEOF);
		Stack()->MergeAndFlushLastContext(false);
		EXPECT_TRUE(inner.GetContext()->IsEmpty());
		EXPECT_EQ(outer.GetContext()->GetLastError(), kEOF);
	});
	RunInFreshTask([] {
		StErrorContextInstaller only;
		_ThrowError(kEOF);
		Stack()->MergeAndFlushLastContext(true);
		ASSERT_EQ(Stack()->GetContextCount(), 2u);
		EXPECT_EQ(Stack()->GetContext(0)->GetLastError(), kEOF);
		EXPECT_TRUE(only.GetContext()->IsEmpty());
		EXPECT_TRUE(only.GetContext()->IsSilent());
	});
}

TEST(ErrorContext, FindsAnyOfATypedListUpToAZero)
{
	VErrorContext context;
	EXPECT_FALSE(context.FindAny({kEOF}));
	context.PushError(VRefPtr<VErrorBase>::Adopt(new VErrorBase(kNotFound)).Get());
	struct Row {
		std::initializer_list<VError> fCodes;
		bool fFound;
	};
	const Row rows[] = {
		{{kNotFound}, true}, {{kEOF, kNotFound}, true}, {{kEOF, 0, kNotFound}, false},
		{{0, kNotFound}, false}, {{}, false},
	};
	for (size_t i = 0; i < std::size(rows); ++i) {
		SCOPED_TRACE(i);
		EXPECT_EQ(context.FindAny(rows[i].fCodes), rows[i].fFound);
	}
}

TEST(ErrorContext, CopiesItsErrorsAndMemoryFlagButNotItsModes)
{
	VErrorContext context;
	context.SetSilent(true);
	context.SetKeepingErrors(false);
	context.PushError(VRefPtr<VErrorBase>::Adopt(new VErrorBase(VE_MEMORY_FULL)).Get());
	VErrorContext copy(context);
	EXPECT_TRUE(copy.FailedForMemory());
	EXPECT_EQ(copy.GetFirst(), context.GetFirst());
	EXPECT_FALSE(copy.IsSilent());
	EXPECT_TRUE(copy.IsKeepingErrors());
	EXPECT_FALSE(context.PushError(nullptr));
}

TEST(ErrorContext, SavesItsErrorsAsAJSONArray)
{
	VErrorContext context;
	VJSONValue value(JSON_null);
	context.SaveToJSONArray(value);
	EXPECT_TRUE(value.IsUndefined());
	context.PushError(VRefPtr<VErrorBase>::Adopt(new VErrorBase(kEOF)).Get());
	context.PushError(VRefPtr<VErrorBase>::Adopt(new VErrorBase(kNotFound)).Get());
	context.SaveToJSONArray(value);
	ASSERT_NE(value.GetArray(), nullptr);
	ASSERT_EQ(value.GetArray()->GetCount(), 2u);
	EXPECT_EQ(value.GetArray()->GetAt(1).GetObject()->GetProperty(VErrorBase::sKeyErrCode).GetNumber(), 600);
}

} // namespace
} // namespace qirn
