#pragma once

#include "core/VKernelTypes.h"

#include <cstring>
#include <type_traits>

namespace qirn {

namespace detail {
inline uint16 ByteSwapBits(uint16 inValue) { return __builtin_bswap16(inValue); }
inline uint32 ByteSwapBits(uint32 inValue) { return __builtin_bswap32(inValue); }
inline uint64 ByteSwapBits(uint64 inValue) { return __builtin_bswap64(inValue); }
} // namespace detail

// Byte reversal of the numbers that streams and flat stores carry in the
// other byte order. Reals are reversed through their bit pattern.
template <typename T>
inline T ByteSwap(T inValue)
{
	static_assert(std::is_arithmetic_v<T>);
	if constexpr (sizeof(T) == 1) {
		return inValue;
	} else if constexpr (std::is_integral_v<T>) {
		using U = std::conditional_t<sizeof(T) == 2, uint16, std::conditional_t<sizeof(T) == 4, uint32, uint64>>;
		static_assert(sizeof(T) == sizeof(U));
		return static_cast<T>(detail::ByteSwapBits(static_cast<U>(inValue)));
	} else {
		using U = std::conditional_t<sizeof(T) == 8, uint64, uint32>;
		static_assert(sizeof(T) == sizeof(U));
		U bits;
		std::memcpy(&bits, &inValue, sizeof(T));
		bits = detail::ByteSwapBits(bits);
		T result;
		std::memcpy(&result, &bits, sizeof(T));
		return result;
	}
}

// Reverses inCount numbers of type T in place, at any address: flat stores
// and byte blocks need not be aligned for T.
template <typename T>
inline void ByteSwapUnalignedInPlace(void* ioValues, size_t inCount)
{
	char* bytes = static_cast<char*>(ioValues);
	for (size_t i = 0; i < inCount; ++i, bytes += sizeof(T)) {
		T value;
		std::memcpy(&value, bytes, sizeof(T));
		value = ByteSwap(value);
		std::memcpy(bytes, &value, sizeof(T));
	}
}

template <typename T>
inline void ByteSwapInPlace(T* ioValues, size_t inCount)
{
	ByteSwapUnalignedInPlace<T>(ioValues, inCount);
}

} // namespace qirn
