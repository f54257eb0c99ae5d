// The replacement of the global allocation functions: plain malloc and free (which the
// sanitizers still watch), with a countdown that makes one allocation, or all from one on, fail.
#include "failing_new.h"

#include <cstdlib>
#include <new>

namespace seg4::test::failing_new {
namespace {
// Only the thread of the tests allocates while a fault is armed.
bool armed = false;
bool keepFailing = false;
long target = 0;
long made = 0;
long refusedCount = 0;

void* allocate(std::size_t size) {
    if (armed) {
        ++made;
        if (made == target || (keepFailing && made > target)) {
            ++refusedCount;
            throw std::bad_alloc();
        }
    }
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
} // namespace

void arm(long nth, bool persistent) {
    target = nth;
    keepFailing = persistent;
    made = 0;
    refusedCount = 0;
    armed = true;
}
void disarm() { armed = false; }
long count() { return made; }
long refused() { return refusedCount; }

} // namespace seg4::test::failing_new

using seg4::test::failing_new::allocate;

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
