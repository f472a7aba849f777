#include "core/VReal.h"

#include "core/TextUnits.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace qirn {

const VReal::VValueInfo_real VReal::sInfo;

namespace {

constexpr sLONG8 kMaxExactInteger = (1LL << 53) - 1;

// Writes integral values as integers; answers false for the others.
bool IntegralToString(Real inValue, VString& outText)
{
	if (!(std::fabs(inValue) <= static_cast<Real>(kMaxExactInteger)))
		return false;
	sLONG8 truncated = static_cast<sLONG8>(inValue);
	if (static_cast<Real>(truncated) != inValue)
		return false;
	outText.FromLong8(truncated);	// -0.0 gives "0"
	return true;
}

void FormatReal(Real inValue, VString& outText)
{
	outText.FromReal(inValue);
}

} // namespace

void VReal::RealToXMLString(Real inValue, VString& outText)
{
	if (IntegralToString(inValue, outText))
		return;
	if (std::isnan(inValue))
		outText.FromCString("NaN");
	else if (std::isinf(inValue))
		outText.FromCString(inValue > 0 ? "INF" : "-INF");
	else
		FormatReal(inValue, outText);
}

void VReal::RealToJSONString(Real inValue, VString& outText)
{
	if (IntegralToString(inValue, outText))
		return;
	if (std::isnan(inValue) || std::isinf(inValue))
		outText.FromCString("null");
	else
		FormatReal(inValue, outText);
}

void VReal::GetXMLString(VString& outText, uint32) const
{
	RealToXMLString(fValue, outText);
}

VError VReal::GetJSONString(VString& outText, uint32) const
{
	RealToJSONString(fValue, outText);
	return VE_OK;
}

bool VReal::FromXMLString(const VString& inText)
{
	std::string text = to_string(inText);
	if (text.size() > 254)
		return false;
	for (char& c : text) {
		if (c == ',')
			c = '.';
	}
	const char* buffer = text.c_str();
	VSize size = text.size();
	char* end = nullptr;
	Real value = ReadReal(buffer, &end);
	if (end != buffer + size)
		return false;
	_Store(value);
	return true;
}

VError VReal::FromJSONString(const VString& inText, uint32)
{
	if (!FromXMLString(inText))
		_Store(0.0);
	return VE_OK;
}

CompareResult VReal::VValueInfo_real::CompareTwoPtrToDataWithOptions(const void* inPtr1, const void* inPtr2,
																	 const VCompareOptions& inOptions) const
{
	Real a = scalar::Read<Real>(inPtr1);
	Real b = scalar::Read<Real>(inPtr2);
	bool aNaN = std::isnan(a);
	bool bNaN = std::isnan(b);
	if (aNaN || bNaN)
		return aNaN == bNaN ? CR_EQUAL : (aNaN ? CR_SMALLER : CR_BIGGER);
	if (inOptions.IsDiacritical())
		return scalar::CompareData(a, b);
	return scalar::CompareReals(a, b, inOptions.GetEpsilon());
}

} // namespace qirn
