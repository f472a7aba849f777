#pragma once

#include "core/IRefCountable.h"
#include "core/VKernelTypes.h"
#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "runtime/VErrorBase.h"

#include <initializer_list>
#include <vector>

namespace qirn {

class VJSONValue;
class VValueBag;

using VErrorList = std::vector<VRefPtr<VErrorBase>>;

// One scope's errors, oldest first, with the codes it filters and whether
// it is silent (errors pushed under it are not reported) and keeping (its
// errors go to the enclosing context when it ends).
class VErrorContext : public VObject, public IRefCountable {
public:
	VErrorContext() = default;
	// The same errors and memory flag; keeping, not silent, filtering nothing.
	VErrorContext(const VErrorContext& inOther);
	VErrorContext& operator=(const VErrorContext&) = delete;
	~VErrorContext() override = default;

	// Retains and appends; false for null.
	bool PushError(VErrorBase* inError);
	// Appends the other's errors and takes over its memory flag, answered.
	bool PushErrors(const VErrorContext& inOther);
	void Flush();

	bool IsEmpty() const { return fErrors.empty(); }
	const VErrorList& GetErrors() const { return fErrors; }
	VErrorBase* GetFirst() const { return fErrors.empty() ? nullptr : fErrors.front().Get(); }
	VErrorBase* GetLast() const { return fErrors.empty() ? nullptr : fErrors.back().Get(); }
	VError GetLastError() const { return fErrors.empty() ? VE_OK : fErrors.back()->GetError(); }
	// The oldest error of that code.
	VErrorBase* Find(VError inError) const;
	// Whether some error has one of the codes; a 0 in the list ends it.
	bool FindAny(std::initializer_list<VError> inErrors) const;

	bool IsErrorFiltered(VError inError) const;
	void SetFilteredErrors(std::vector<VError>&& inErrors) { fFilteredErrors = std::move(inErrors); }
	bool IsFiltering() const { return !fFilteredErrors.empty(); }

	bool FailedForMemory() const { return fFailedForMemory; }
	void SetFailedForMemory(bool inFailed) { fFailedForMemory = inFailed; }
	bool IsSilent() const { return fSilent; }
	void SetSilent(bool inSilent) { fSilent = inSilent; }
	bool IsKeepingErrors() const { return fKeepingErrors; }
	void SetKeepingErrors(bool inKeeping) { fKeepingErrors = inKeeping; }

	// One element "error" per error, oldest first.
	VError SaveToBag(VValueBag& ioBag) const;
	// Appends the errors of the bag's "error" elements; stops at the first
	// that does not load and answers why.
	VError LoadFromBag(const VValueBag& inBag);

	// Undefined when empty, else an array of each error's JSON object.
	void SaveToJSONArray(VJSONValue& outValue) const;
	// True when the context holds errors; it shows nothing.
	bool DebugDisplay() const { return !fErrors.empty(); }
	// Hands the errors to the process logger, inside a silent scope that
	// drops what logging raises. Nothing without a logger.
	void SendErrorsToLogger() const;

	// Inserts errors at the oldest end.
	void _InsertFront(const VErrorList& inErrors) { fErrors.insert(fErrors.begin(), inErrors.begin(), inErrors.end()); }

private:
	VErrorList fErrors;
	std::vector<VError> fFilteredErrors;
	bool fFailedForMemory = false;
	bool fSilent = false;
	bool fKeepingErrors = true;
};

// A task's stack of error contexts, bottom first, with one spare context
// recycled from ended scopes so that an empty scope allocates nothing.
class VErrorTaskContext : public VObject, public IRefCountable {
public:
	VErrorTaskContext();
	VErrorTaskContext(const VErrorTaskContext&) = delete;
	VErrorTaskContext& operator=(const VErrorTaskContext&) = delete;
	~VErrorTaskContext() override;

	// The new top context, with one reference for the caller.
	VErrorContext* PushNewContext(bool inKeepingErrors, bool inSilent);
	// Records the error in the top context (one is made on an empty stack);
	// outQuiet tells whether a silent or filtering context hides it.
	bool PushError(VErrorBase* inError, bool* outQuiet = nullptr);
	// Ends the top context: a keeping one hands its errors down (or, at the
	// bottom, stays as a plain copy).
	void PopContext();
	void PushErrorsFromContext(const VErrorContext* inContext);
	// Pushes the errors of the bag's "error" elements, up to the first that
	// does not load.
	void PushErrorsFromBag(const VValueBag& inBag);
	void InsertFrontErrors(const VErrorList& inErrors);
	// Releases the top context's errors only.
	void Flush();

	VError GetLastError() const;
	VErrorBase* GetLast() const;
	VErrorBase* GetFirst() const;
	VErrorBase* Find(VError inError) const;
	bool IsErrorFiltered(VError inError) const;
	bool FailedForMemory() const;
	// Every error, bottom to top and oldest first.
	void GetErrors(VErrorContext& outContext) const;
	void MergeAndFlushLastContext(bool inLog);
	// Adds every error of the current task's stack as an element "__ERROR"
	// with its "message", "componentSignature" and "errCode".
	static void BuildErrorStack(VValueBag& ioBag);

	size_t GetContextCount() const { return fContexts.size(); }
	VErrorContext* GetTop() const { return fContexts.empty() ? nullptr : fContexts.back().Get(); }
	VErrorContext* GetContext(size_t inIndex) const { return fContexts[inIndex].Get(); }

	// Takes the caller's reference: the context becomes the spare when it is
	// empty, filters nothing, nobody else holds it and no spare is kept.
	void _RecycleOrRelease(VErrorContext* inContext);

private:
	VErrorContext* fSpareContext;
	std::vector<VRefPtr<VErrorContext>> fContexts;
};

// A scope of errors: opens a context on the current task's stack and ends it
// when the scope does. Outside a task it keeps a context of its own.
class StErrorContextInstaller {
public:
	explicit StErrorContextInstaller(bool inKeepingErrors = true, bool inSilent = false)
	{
		_Init(inKeepingErrors, inSilent);
	}
	// A keeping scope that makes the listed codes pass quietly: raising one
	// turns the scope silent and its errors are dropped when it ends. The
	// first code is always taken, the others up to a 0.
	explicit StErrorContextInstaller(std::initializer_list<VError> inFilteredErrors);
	~StErrorContextInstaller();

	StErrorContextInstaller(const StErrorContextInstaller&) = delete;
	StErrorContextInstaller& operator=(const StErrorContextInstaller&) = delete;

	VErrorContext* GetContext() const { return fContext; }
	VError GetLastError() const { return fContext->GetLastError(); }

private:
	void _Init(bool inKeepingErrors, bool inSilent);

	VErrorTaskContext* fTaskContext = nullptr;
	VErrorContext* fContext = nullptr;
};

} // namespace qirn
