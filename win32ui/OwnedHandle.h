#pragma once
// Owning wrappers for Win32 handles: moved, never copied, closed once.

#include <memory>
#include <type_traits>

namespace ovaro {

template <auto Fn>
struct CallOn {
    template <class H>
    void operator()(H h) const noexcept {
        Fn(h);
    }
};

template <class H, auto Fn>
using Owned = std::unique_ptr<std::remove_pointer_t<H>, CallOn<Fn>>;

}  // namespace ovaro
