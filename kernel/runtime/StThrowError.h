#pragma once

#include "runtime/VError.h"
#include "runtime/VErrorBase.h"

namespace qirn {

// An error prepared in a scope: the caller sets its parameters while the
// scope lasts, and it is raised, with its native cause, when the scope ends.
template <class ErrorClass = VErrorBase>
class StThrowError {
public:
	explicit StThrowError(VError inError, VError inNativeError = VE_OK)
		: fError(new ErrorClass(inError)), fNativeError(inNativeError)
	{
	}
	~StThrowError() { _PushRetainedError(fError, fNativeError); }

	StThrowError(const StThrowError&) = delete;
	StThrowError& operator=(const StThrowError&) = delete;

	ErrorClass* operator->() const { return fError; }
	ErrorClass* Get() const { return fError; }

private:
	ErrorClass* fError;
	VError fNativeError;
};

} // namespace qirn
