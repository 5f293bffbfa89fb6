#pragma once
// ImplAccess: how the engine's own files reach the implementation behind a public handle
// (Database, Recordset, TableDef, Field, Index, Property). The handles keep impl() private and
// befriend this one struct, so nothing outside the engine can reach it.
#include <memory>

namespace dbe::detail {

struct ImplAccess {
    template <class Handle>
    static auto of(const Handle& h)
    {
        return h.impl();
    }
};

// The implementation behind h (null for a null handle).
template <class Handle>
auto implOf(const Handle& h)
{
    return ImplAccess::of(h);
}

}  // namespace dbe::detail
