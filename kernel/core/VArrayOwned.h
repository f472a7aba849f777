#pragma once

#include "core/VArrayValue.h"

#include <utility>

namespace qirn {

// The arrays whose elements are values they own (strings, blobs, pictures):
// the storage holds one pointer per element, null for an absent element.
// Deleting, shrinking and destroying delete the elements that go; a copy
// owns copies of them.
template <class E>
class VArrayOwned : public VArrayValue {
public:
	~VArrayOwned() override
	{
		DeleteElements(0, fCount);
	}

	void DeleteElements(sLONG inFrom, sLONG inCount) override
	{
		if (inFrom < 0 || inCount < 1 || static_cast<sLONG8>(inFrom) + inCount > fCount)
			return;
		E** elements = _Elements();
		for (sLONG i = inFrom; i < inFrom + inCount; ++i) {
			delete elements[i];
			elements[i] = nullptr;
		}
	}

	bool Copy(const VArrayValue& inSource) override
	{
		if (&inSource == this)
			return true;
		if (!VArrayValue::Copy(inSource))
			return false;
		// The pointers copied are the source's: each becomes a copy of its own.
		E** elements = _Elements();
		for (sLONG i = 0; i < fCount; ++i) {
			if (elements[i] != nullptr)
				elements[i] = static_cast<E*>(elements[i]->Clone());
		}
		return true;
	}

	void SwapElements(uBYTE* inData, sLONG inA, sLONG inB) override
	{
		E** elements = reinterpret_cast<E**>(inData);
		std::swap(elements[inA], elements[inB]);
	}

protected:
	VArrayOwned() : VArrayValue(sizeof(E*)) {}

	bool DoOwnsElements() const override { return true; }
	E** _Elements() const { return reinterpret_cast<E**>(fData); }
	// The element at a position, null when absent or outside 1..count.
	E* _At(sLONG inPosition) const { return ValidIndex(inPosition) ? _Elements()[inPosition - 1] : nullptr; }
	// Puts an element in place of the one at an index, which is deleted.
	void _Replace(sLONG inIndex, E* inElement)
	{
		E** elements = _Elements();
		delete elements[inIndex];
		elements[inIndex] = inElement;
	}
};

} // namespace qirn
