// Reals compared with a tolerance: a value always equals itself, whatever
// the epsilon and for infinities too.
#include "core/VCompareOptions.h"
#include "core/VReal.h"

#include <gtest/gtest.h>

#include <cmath>

namespace qirn {
namespace {

TEST(RealCompare, AValueEqualsItself)
{
	VCompareOptions exact;
	exact.SetEpsilon(0.0);
	const VValueInfo* info = VValue::ValueInfoFromValueKind(6);
	ASSERT_NE(info, nullptr);
	for (Real x : {0.0, 1.5, -1e300, Real(INFINITY), -Real(INFINITY)}) {
		VReal a(x);
		VReal b(x);
		EXPECT_EQ(a.CompareToSameKindWithOptions(&b, exact), CR_EQUAL) << x;
		EXPECT_EQ(a.CompareToSameKindPtrWithOptions(&x, exact), CR_EQUAL) << x;
		EXPECT_EQ(info->CompareTwoPtrToDataWithOptions(&x, &x, exact), CR_EQUAL) << x;
		EXPECT_TRUE(a.EqualToSameKind(&b)) << x;
		EXPECT_TRUE(a.EqualTo(b)) << x;
		EXPECT_EQ(info->CompareTwoPtrToData(&x, &x, false), CR_EQUAL) << x;
	}
	// An epsilon of 0 still orders distinct values.
	VReal one(1.0);
	Real next = std::nextafter(1.0, 2.0);
	EXPECT_EQ(one.CompareToSameKindPtrWithOptions(&next, exact), CR_SMALLER);
	VReal inf(INFINITY);
	EXPECT_EQ(inf.CompareTo(VReal(-INFINITY)), CR_BIGGER);
}

} // namespace
} // namespace qirn
