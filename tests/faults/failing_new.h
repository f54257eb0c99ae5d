// An operator new that can be told to fail its Nth allocation, for the allocation-failure loop.
#pragma once

namespace seg4::test::failing_new {

/// From now on the `nth` allocation (counted from 1) throws std::bad_alloc, and with
/// `persistent` every one after it too.
void arm(long nth, bool persistent);
/// Back to allocating normally.
void disarm();
/// Allocations since arm().
long count();
/// How many allocations the armed fault refused.
long refused();

} // namespace seg4::test::failing_new
