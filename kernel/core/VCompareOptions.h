#pragma once

#include "core/VObject.h"

namespace qirn {

class VIntlMgr;
class VJSONObject;

// The settings of option-aware comparisons.
class VCompareOptions : public VObject {
public:
	static constexpr Real kDefaultEpsilon = 0.000001;

	VCompareOptions();

	VIntlMgr* GetIntlManager() const { return fIntlMgr; }
	void SetIntlManager(VIntlMgr* inIntlMgr) { fIntlMgr = inIntlMgr; }
	// Wildcard matching of strings.
	bool IsLike() const { return fLike; }
	void SetLike(bool inLike) { fLike = inLike; }
	// Exact comparison: accents and case for strings, no tolerance for reals.
	bool IsDiacritical() const { return fDiacritical; }
	void SetDiacritical(bool inDiacritical) { fDiacritical = inDiacritical; }
	// Strings compare on their common length only.
	bool IsBeginsWith() const { return fBeginsWith; }
	void SetBeginsWith(bool inBeginsWith) { fBeginsWith = inBeginsWith; }
	// The tolerance of real comparisons when not diacritical.
	Real GetEpsilon() const { return fEpsilon; }
	void SetEpsilon(Real inEpsilon) { fEpsilon = inEpsilon; }

	// Only the diacritical flag has a JSON form, the property "diacritical";
	// reading takes it only from a JSON Boolean. A null object is left alone.
	VError ToJSON(VJSONObject* ioObject) const;
	VError FromJSON(VJSONObject* inObject);

private:
	VIntlMgr* fIntlMgr;
	bool fLike = false;
	bool fDiacritical = false;
	bool fBeginsWith = false;
	Real fEpsilon = kDefaultEpsilon;
};

} // namespace qirn
