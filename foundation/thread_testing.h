#pragma once

// Test seams of the thread class. Not for production code.
namespace foundation::testing {

// Makes the next |count| creations of a system thread by CxThread fail as if CreateThread had
// returned null.
void FailNextThreadCreations(int count);

}  // namespace foundation::testing
