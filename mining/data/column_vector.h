#pragma once

#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace mining {

// An allocator that leaves values made by resize() uninitialised. The reader sizes each column
// for the whole file and then its threads fill their own rows: zeroing first would write every
// byte once more, on one thread, and fault in pages that another thread is about to touch.
template <class T>
class DefaultInitAllocator : public std::allocator<T> {
public:
    template <class U>
    struct rebind {
        using other = DefaultInitAllocator<U>;
    };

    DefaultInitAllocator() = default;
    template <class U>
    DefaultInitAllocator(const DefaultInitAllocator<U>&) noexcept {}

    // Value-initialisation (resize(n)) becomes default-initialisation: no write for a number.
    template <class U>
    void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        std::allocator_traits<std::allocator<T>>::construct(static_cast<std::allocator<T>&>(*this),
                                                            p, std::forward<Args>(args)...);
    }
};

// A column of values: a vector whose resize() leaves new values unset. Only the values the
// caller writes may be read.
template <class T>
using ColumnVector = std::vector<T, DefaultInitAllocator<T>>;

}  // namespace mining
