#pragma once

#include "core/VKernelTypes.h"

namespace qirn {

class VString;
class VValueBag;

// The dialect codes of the international settings (core/VIntlMgr.h), named
// here without pulling that header into every error's users.
using DialectCode = sLONG;

// What the kernel asks of a localization manager. Errors ask it for the
// message of their code, registered per component signature; the process
// asks it for the texts of keys (LocalizeString).
class ILocalizer {
public:
	virtual ~ILocalizer() = default;

	// The language the texts are in.
	virtual DialectCode GetLocalizationLanguage() = 0;
	// Puts the message of the code into outMessage; false when there is none.
	virtual bool LocalizeErrorMessage(VError inError, VString& outMessage) = 0;
	// The text of a key: true and outText set, or false with outText untouched.
	virtual bool LocalizeStringWithKey(const VString& inKey, VString& outText) = 0;
	virtual bool LocalizeStringWithDotStringsKey(const VString& inKey, VString& outText) = 0;
	// The bag that describes a whole group, one reference for the caller; null
	// when there is none.
	[[nodiscard]] virtual const VValueBag* RetainGroupBag(const VString& inResName) = 0;
};

} // namespace qirn
