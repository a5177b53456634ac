#pragma once
// Emscripten 3.1.6 ships libc++ 13, which lacks std::bit_cast and
// std::atomic_ref. The WebAssembly build includes this header before every
// source, so the layers compile unchanged; a newer libc++ makes it empty.
#include <version>
#if defined(_LIBCPP_VERSION) && _LIBCPP_VERSION < 14000
#include <atomic>
#include <bit>
#include <cstring>
#include <type_traits>

namespace std {

template <class To, class From>
    requires(sizeof(To) == sizeof(From) && is_trivially_copyable_v<To> && is_trivially_copyable_v<From>)
To bit_cast(const From& from) noexcept {
    return __builtin_bit_cast(To, from);
}

// Atomic access to a plain object, as the engine uses it: whole loads,
// stores and exchanges.
template <class T>
class atomic_ref {
public:
    explicit atomic_ref(T& object) noexcept : object_(&object) {}
    T load(memory_order order = memory_order_seq_cst) const noexcept {
        T value;
        __atomic_load(object_, &value, toBuiltin(order));
        return value;
    }
    void store(T value, memory_order order = memory_order_seq_cst) const noexcept {
        __atomic_store(object_, &value, toBuiltin(order));
    }
    T exchange(T value, memory_order order = memory_order_seq_cst) const noexcept {
        T previous;
        __atomic_exchange(object_, &value, &previous, toBuiltin(order));
        return previous;
    }

private:
    static constexpr int toBuiltin(memory_order order) {
        switch (order) {
            case memory_order_relaxed: return __ATOMIC_RELAXED;
            case memory_order_consume: return __ATOMIC_CONSUME;
            case memory_order_acquire: return __ATOMIC_ACQUIRE;
            case memory_order_release: return __ATOMIC_RELEASE;
            case memory_order_acq_rel: return __ATOMIC_ACQ_REL;
            default: return __ATOMIC_SEQ_CST;
        }
    }
    T* object_;
};

}  // namespace std
#endif
