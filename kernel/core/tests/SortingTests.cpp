#include "core/ISortable.h"
#include "core/QSort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <numeric>
#include <random>
#include <string>
#include <vector>

namespace qirn {
namespace {

// Keys in a vector; counts what the sort asks of it.
class KeySortable : public ISortable {
public:
	explicit KeySortable(std::vector<int> inKeys) : fKeys(std::move(inKeys)) {}

	uBYTE* LockAndGetData() const override
	{
		++fLocks;
		return reinterpret_cast<uBYTE*>(const_cast<int*>(fKeys.data()));
	}
	void UnlockData() const override { ++fUnlocks; }
	void SwapElements(uBYTE* inData, sLONG inA, sLONG inB) override
	{
		int* keys = reinterpret_cast<int*>(inData);
		std::swap(keys[inA], keys[inB]);
	}
	CompareResult CompareElements(uBYTE* inData, sLONG inA, sLONG inB) override
	{
		++fCompares;
		const int* keys = reinterpret_cast<const int*>(inData);
		if (keys[inA] == kIncomparable || keys[inB] == kIncomparable)
			return CR_UNRELEVANT;
		return keys[inA] < keys[inB] ? CR_SMALLER : (keys[inA] > keys[inB] ? CR_BIGGER : CR_EQUAL);
	}

	static constexpr int kIncomparable = -999;
	std::vector<int> fKeys;
	mutable int fLocks = 0;
	mutable int fUnlocks = 0;
	int fCompares = 0;
};

// Sorts keys (ascending or not) carrying their original positions along in a
// second sortable, and answers the positions in their final order.
std::vector<int> SortedPositions(const std::vector<int>& inKeys, bool inDescending, int* outCompares = nullptr)
{
	KeySortable keys(inKeys);
	std::vector<int> positions(inKeys.size());
	std::iota(positions.begin(), positions.end(), 0);
	KeySortable carried(positions);
	ISortable* list[] = {&keys, &carried, nullptr};
	uBYTE descending = inDescending ? 1 : 0;
	ISortable::MultiCriteriaQSort(list, &descending, 1, 0, static_cast<sLONG>(inKeys.size()) - 1);
	EXPECT_EQ(carried.fCompares, 0) << "a sortable beyond the criteria is compared";
	if (outCompares != nullptr)
		*outCompares = keys.fCompares;
	return carried.fKeys;
}

TEST(Sorting, RangesOfNoneOrOneElementAreNotTouchedNorLocked)
{
	for (int last : {-1, 0}) {
		KeySortable keys({2, 1});
		ISortable* list[] = {&keys, nullptr};
		uBYTE descending = 0;
		ISortable::MultiCriteriaQSort(list, &descending, 1, 0, last);
		EXPECT_EQ(keys.fKeys, (std::vector<int>{2, 1}));
		EXPECT_EQ(keys.fLocks, 0);
		EXPECT_EQ(keys.fUnlocks, 0);
	}
}

TEST(Sorting, EveryListedSortableIsLockedAndUnlockedOnce)
{
	KeySortable keys({2, 1, 3});
	KeySortable carried({0, 1, 2});
	ISortable* list[] = {&keys, &carried, nullptr};
	uBYTE descending = 0;
	ISortable::MultiCriteriaQSort(list, &descending, 1, 0, 2);
	for (const KeySortable* s : {&keys, &carried}) {
		EXPECT_EQ(s->fLocks, 1);
		EXPECT_EQ(s->fUnlocks, 1);
	}
	EXPECT_EQ(keys.fKeys, (std::vector<int>{1, 2, 3}));
	EXPECT_EQ(carried.fKeys, (std::vector<int>{1, 0, 2}));
}

// The permutations follow the pivot and selection rules exactly: equal
// elements end in an order that callers can see.
TEST(Sorting, PermutationsOfEqualElementsFollowThePivotAndSelectionRules)
{
	struct Case {
		const char* fName;
		std::vector<int> fKeys;
		bool fDescending;
		std::vector<int> fPositions;
	};
	const Case cases[] = {
		{"two elements", {2, 1}, false, {1, 0}},
		{"nine equal: selection", std::vector<int>(9, 0), false, {1, 2, 3, 4, 5, 6, 7, 8, 0}},
		{"ten equal: one partition", std::vector<int>(10, 0), false, {5, 1, 2, 3, 4, 0, 6, 7, 8, 9}},
		{"five by selection", {2, 1, 2, 1, 0}, false, {4, 3, 1, 2, 0}},
		{"twelve, two keys", {1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0}, false, {5, 1, 11, 3, 9, 7, 4, 2, 8, 0, 10, 6}},
		{"twelve, two keys, descending",
		 {1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0},
		 true,
		 {6, 0, 2, 4, 10, 8, 5, 3, 1, 9, 7, 11}},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		EXPECT_EQ(SortedPositions(c.fKeys, c.fDescending), c.fPositions);
	}
}

TEST(Sorting, TenEqualElementsAreFinishedAfterOnePartition)
{
	int compares = 0;
	SortedPositions(std::vector<int>(10, 7), false, &compares);
	// One pass of each index over the nine elements besides the pivot.
	EXPECT_EQ(compares, 18);
}

TEST(Sorting, NineAndTenElementsGiveTheSameOrder)
{
	std::vector<int> nine = {5, 3, 8, 1, 9, 2, 7, 4, 6};
	std::vector<int> ten = {5, 3, 8, 1, 9, 2, 7, 4, 6, 0};
	for (std::vector<int>* keys : {&nine, &ten}) {
		for (bool descending : {false, true}) {
			KeySortable sortable(*keys);
			ISortable* list[] = {&sortable, nullptr};
			uBYTE flag = descending ? 1 : 0;
			ISortable::MultiCriteriaQSort(list, &flag, 1, 0, static_cast<sLONG>(keys->size()) - 1);
			std::vector<int> expected = *keys;
			if (descending)
				std::sort(expected.begin(), expected.end(), std::greater<>());
			else
				std::sort(expected.begin(), expected.end());
			EXPECT_EQ(sortable.fKeys, expected) << keys->size() << (descending ? " descending" : "");
		}
	}
}

TEST(Sorting, ASubRangeLeavesTheRestInPlace)
{
	KeySortable keys({9, 4, 3, 2, 1, 0});
	ISortable* list[] = {&keys, nullptr};
	uBYTE descending = 0;
	ISortable::MultiCriteriaQSort(list, &descending, 1, 1, 4);
	EXPECT_EQ(keys.fKeys, (std::vector<int>{9, 1, 2, 3, 4, 0}));
}

TEST(Sorting, ASecondCriterionOrdersWhatTheFirstFindsEqualAndHasItsOwnDirection)
{
	for (int size : {6, 14}) {
		SCOPED_TRACE(size);
		std::vector<int> first;
		std::vector<int> second;
		for (int i = 0; i < size; ++i) {
			first.push_back(i % 2);
			second.push_back(i);
		}
		KeySortable a(first);
		KeySortable b(second);
		KeySortable carried(second);
		ISortable* list[] = {&a, &b, &carried, nullptr};
		uBYTE descending[] = {0, 1};
		ISortable::MultiCriteriaQSort(list, descending, 2, 0, size - 1);
		for (int i = 0; i + 1 < size; ++i) {
			ASSERT_LE(a.fKeys[i], a.fKeys[i + 1]);
			if (a.fKeys[i] == a.fKeys[i + 1]) {
				EXPECT_GT(b.fKeys[i], b.fKeys[i + 1]);
			}
		}
		EXPECT_EQ(carried.fKeys, b.fKeys);
		EXPECT_EQ(carried.fCompares, 0);
	}
}

TEST(Sorting, NotComparableCountsAsSmallerAscendingAndBiggerDescending)
{
	constexpr int x = KeySortable::kIncomparable;
	KeySortable keys({x, 5});
	ISortable* list[] = {&keys, nullptr};
	uBYTE* data[] = {keys.LockAndGetData()};
	uBYTE ascending = 0;
	uBYTE descending = 1;
	EXPECT_EQ(ISortable::MultiCriteriaCompare(list, data, &ascending, 1, 1, 0), CR_UNRELEVANT);
	EXPECT_EQ(ISortable::MultiCriteriaCompare(list, data, &descending, 1, 1, 0), CR_BIGGER);

	// 5 against the other is smaller: ascending the other goes last.
	ISortable::MultiCriteriaQSort(list, &ascending, 1, 0, 1);
	EXPECT_EQ(keys.fKeys, (std::vector<int>{5, x}));
	keys.fKeys = {x, 5};
	ISortable::MultiCriteriaQSort(list, &descending, 1, 0, 1);
	EXPECT_EQ(keys.fKeys, (std::vector<int>{x, 5}));
}

TEST(Sorting, MultiCriteriaSwapExchangesInEverySortable)
{
	KeySortable a({1, 2});
	KeySortable b({3, 4});
	ISortable* list[] = {&a, &b, nullptr};
	uBYTE* data[] = {a.LockAndGetData(), b.LockAndGetData()};
	ISortable::MultiCriteriaSwap(list, data, 0, 1);
	EXPECT_EQ(a.fKeys, (std::vector<int>{2, 1}));
	EXPECT_EQ(b.fKeys, (std::vector<int>{4, 3}));
}

template <typename T>
void CheckQSortAgainstStdSort(int inSize, unsigned inSeed)
{
	std::mt19937 random(inSeed);
	std::uniform_int_distribution<int> values(-100, 100);
	std::vector<T> data(static_cast<size_t>(inSize));
	for (T& v : data)
		v = static_cast<T>(values(random));
	for (uBYTE descending : {0, 1}) {
		std::vector<T> ours = data;
		QSort(ours.data(), inSize, descending);
		std::vector<T> expected = data;
		if (descending != 0)
			std::sort(expected.begin(), expected.end(), std::greater<>());
		else
			std::sort(expected.begin(), expected.end());
		EXPECT_EQ(ours, expected) << inSize << " descending " << int(descending);
	}
}

TEST(Sorting, QSortOrdersEveryNumericTypeBothWays)
{
	for (int size : {0, 1, 2, 9, 10, 11, 1000}) {
		CheckQSortAgainstStdSort<char>(size, 1);
		CheckQSortAgainstStdSort<short>(size, 2);
		CheckQSortAgainstStdSort<int>(size, 3);
		CheckQSortAgainstStdSort<long long>(size, 4);
		CheckQSortAgainstStdSort<double>(size, 5);
	}
}

TEST(Sorting, QSortHandlesTheShapesThatBreakNaivePivots)
{
	const int n = 200000;
	std::vector<std::vector<int>> shapes(4, std::vector<int>(n));
	for (int i = 0; i < n; ++i) {
		shapes[0][i] = i;
		shapes[1][i] = n - i;
		shapes[2][i] = i < n / 2 ? i : n - i;
		shapes[3][i] = 42;
	}
	for (std::vector<int>& shape : shapes) {
		std::vector<int> expected = shape;
		std::sort(expected.begin(), expected.end());
		QSort(shape.data(), n, 0);
		EXPECT_EQ(shape, expected);
	}
}

// Reals through the interface: the Part's algorithm with nothing else.
class RealSortable : public ISortable {
public:
	explicit RealSortable(std::vector<double> inValues) : fValues(std::move(inValues)) {}
	uBYTE* LockAndGetData() const override { return reinterpret_cast<uBYTE*>(const_cast<double*>(fValues.data())); }
	void SwapElements(uBYTE* inData, sLONG inA, sLONG inB) override
	{
		double* values = reinterpret_cast<double*>(inData);
		std::swap(values[inA], values[inB]);
	}
	CompareResult CompareElements(uBYTE* inData, sLONG inA, sLONG inB) override
	{
		const double* values = reinterpret_cast<const double*>(inData);
		return values[inA] < values[inB] ? CR_SMALLER : (values[inA] > values[inB] ? CR_BIGGER : CR_EQUAL);
	}
	std::vector<double> fValues;
};

// QSort finishes ranges that its pivot splits badly some other way only
// where that cannot be seen: the values come out bit for bit as the
// interface sort leaves them, NaNs and signed zeros included.
TEST(Sorting, QSortLeavesTheSameBitsAsTheInterfaceSort)
{
	const double nan = std::numeric_limits<double>::quiet_NaN();
	const int n = 3000;
	struct Case {
		const char* fName;
		std::function<double(int)> fValue;
	};
	auto pipe = [](int i) { return static_cast<double>(i < n / 2 ? i : n - i); };
	const Case cases[] = {
		{"organ pipe", pipe},
		// Zeros of both signs among the middle values, where the badly split
		// ranges lie.
		{"organ pipe with signed zeros",
		 [pipe](int i) { return std::fabs(pipe(i) - n / 4) < 20 ? (i % 2 != 0 ? -0.0 : 0.0) : pipe(i) - n / 4; }},
		{"organ pipe with a NaN", [pipe, nan](int i) { return i == n / 3 ? nan : pipe(i); }},
		{"random with NaNs", [nan](int i) { return i % 17 == 0 ? nan : static_cast<double>((i * 7919) % 101); }},
	};
	auto bits = [](const std::vector<double>& inValues) {
		std::vector<uint64> result(inValues.size());
		std::memcpy(result.data(), inValues.data(), inValues.size() * sizeof(double));
		return result;
	};
	for (const Case& c : cases) {
		for (uBYTE descending : {0, 1}) {
			SCOPED_TRACE(std::string(c.fName) + (descending != 0 ? " descending" : ""));
			std::vector<double> values(n);
			for (int i = 0; i < n; ++i)
				values[i] = c.fValue(i);
			RealSortable reference(values);
			ISortable* list[] = {&reference, nullptr};
			ISortable::MultiCriteriaQSort(list, &descending, 1, 0, n - 1);
			QSort(values.data(), n, descending);
			EXPECT_EQ(bits(values), bits(reference.fValues));
		}
	}
	std::vector<int> integers(n);
	for (int i = 0; i < n; ++i)
		integers[i] = i < n / 2 ? i : n - i;
	KeySortable reference(integers);
	ISortable* list[] = {&reference, nullptr};
	uBYTE descending = 1;
	ISortable::MultiCriteriaQSort(list, &descending, 1, 0, n - 1);
	QSort(integers.data(), n, descending);
	EXPECT_EQ(integers, reference.fKeys);
}

TEST(Sorting, QSortCountsANaNAsEqualToEverything)
{
	const double nan = std::numeric_limits<double>::quiet_NaN();
	std::vector<double> small = {nan, 3.0, 1.0};
	QSort(small.data(), 3, 0);
	EXPECT_EQ(small[0], 1.0);
	EXPECT_EQ(small[1], 3.0);
	EXPECT_TRUE(std::isnan(small[2]));

	// Many NaNs among many values: the sort ends, stays in bounds and keeps
	// every value.
	std::mt19937 random(7);
	std::vector<double> data(5000);
	for (size_t i = 0; i < data.size(); ++i)
		data[i] = i % 7 == 0 ? nan : static_cast<double>(random() % 100);
	for (uBYTE descending : {0, 1}) {
		std::vector<double> sorted = data;
		QSort(sorted.data(), static_cast<sLONG>(sorted.size()), descending);
		auto numbers = [](std::vector<double> v) {
			v.erase(std::remove_if(v.begin(), v.end(), [](double d) { return std::isnan(d); }), v.end());
			std::sort(v.begin(), v.end());
			return v;
		};
		EXPECT_EQ(numbers(sorted), numbers(data));
		EXPECT_EQ(std::count_if(sorted.begin(), sorted.end(), [](double d) { return std::isnan(d); }),
				  std::count_if(data.begin(), data.end(), [](double d) { return std::isnan(d); }));
	}
}

} // namespace
} // namespace qirn
