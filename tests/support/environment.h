// Keeps the virtual generator's behaviour in the test's hands: the variables it reads from the
// environment (faults, timing, capture, units) would otherwise reach every test in the process.
#pragma once

namespace qvx::test {

class VirtualGenerator;

// Points the generator's flash at `flash` ("none": memory only) and unsets every other QVX_VG_
// variable the generator reads (its option table's, the capture log, the units, the rack), so no
// fault, delay, capture or extra unit comes from outside.
void IsolateGenerator(const VirtualGenerator& generator, const char* flash);

}  // namespace qvx::test
