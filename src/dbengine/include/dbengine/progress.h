#pragma once
// ProgressWatch: keeps a caller in touch while a long statement of one database runs, and lets it
// stop that statement. While the watch lives, the engine calls `tick` every few thousand steps of
// any statement on that connection; when tick returns true, the statement stops at once and the
// call that was running it raises a DbError. Interrupted() then says that the stop came from here,
// so the caller can tell an interruption from any other failure.
//
// One watch per connection at a time (a second one replaces the first until it dies). tick runs on
// the thread that runs the statement and must not use the same connection. The watch does nothing
// on a null or closed database. It cannot be copied.
#include "database.h"

#include <functional>
#include <memory>

namespace dbe {

class ProgressWatch {
public:
    ProgressWatch(const Database& db, std::function<bool()> tick);
    ~ProgressWatch();
    ProgressWatch(const ProgressWatch&) = delete;
    ProgressWatch& operator=(const ProgressWatch&) = delete;

    bool Interrupted() const { return interrupted_; }

private:
    static int callback(void* self);

    std::shared_ptr<detail::DatabaseImpl> d_;
    std::function<bool()> tick_;
    bool interrupted_ = false;
};

}  // namespace dbe
