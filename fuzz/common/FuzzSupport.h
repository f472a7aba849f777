#pragma once

// What every fuzz harness shares: the kernel started once, a scope per input
// that keeps the errors the input raises and drops them after, and a check
// that stops the run (so the engine keeps the input) when a property fails.
#include "core/VString.h"
#include "runtime/VErrorContext.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace qirn::fuzz {

// Starts the kernel (a process object on the calling thread's task) and the
// XML library the first time it is called; later calls do nothing. Harnesses
// call it from LLVMFuzzerInitialize or at the top of each input.
void StartKernel();

// The input's bytes as a text: UTF-16 units in little-endian order (an odd
// last byte left out), or UTF-8.
VString TextFromBytes(const uint8_t* inData, size_t inSize, bool inUTF16);

// A text for a failure message: ASCII as it is, every other unit as \uXXXX.
std::string Printable(const VString& inText);

// Prints what failed and aborts: the engine saves the input that did it.
[[noreturn]] void Fail(const char* inWhat, const char* inFile, int inLine);

// Errors raised while one input is read are kept here, for the harness to
// check, and dropped when the scope ends, so no input grows the error stack.
class StFuzzInput {
public:
	StFuzzInput() : fScope(false) {}
	VErrorContext* Errors() const { return fScope.GetContext(); }
	VError LastError() const { return fScope.GetLastError(); }

private:
	StErrorContextInstaller fScope;
};

} // namespace qirn::fuzz

#define QIRN_FUZZ_CHECK(inCondition) \
	((inCondition) ? static_cast<void>(0) : ::qirn::fuzz::Fail(#inCondition, __FILE__, __LINE__))

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* inData, size_t inSize);
