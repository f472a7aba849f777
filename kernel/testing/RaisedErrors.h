#pragma once

// The kernel errors a test's statements raise: a dropping error scope for
// as long as the object lives, whose codes a test reads, oldest first.
#include "runtime/VErrorContext.h"

#include <vector>

namespace qirn::testing {

class RaisedErrors {
public:
	RaisedErrors() : fScope(false) {}

	VError Last() const { return fScope.GetLastError(); }
	std::vector<VError> Codes() const
	{
		std::vector<VError> codes;
		for (const VRefPtr<VErrorBase>& error : fScope.GetContext()->GetErrors())
			codes.push_back(error->GetError());
		return codes;
	}
	// The errors themselves, for their parameters.
	const VErrorList& Errors() const { return fScope.GetContext()->GetErrors(); }
	VErrorBase* LastError() const { return fScope.GetContext()->GetLast(); }
	void Clear() { fScope.GetContext()->Flush(); }

private:
	StErrorContextInstaller fScope;
};

} // namespace qirn::testing
