#include "core/VArrayReal.h"

namespace qirn {

Real VArrayReal::GetSum() const
{
	Real sum = 0.0;
	const Real* values = _Values();
	for (sLONG i = 0; i < fCount; ++i)
		sum += values[i];
	return sum;
}

Real VArrayReal::GetAverage() const
{
	return fCount == 0 ? 0.0 : GetSum() / fCount;
}

Real VArrayReal::GetSquareSum() const
{
	if (fCount == 0)
		return 0.0;
	const Real average = GetAverage();
	Real sum = 0.0;
	const Real* values = _Values();
	for (sLONG i = 0; i < fCount; ++i)
		sum += (values[i] - average) * (values[i] - average);
	return sum;
}

Real VArrayReal::GetStdDev() const
{
	return fCount == 0 ? 0.0 : GetSquareSum() / fCount;
}

} // namespace qirn
