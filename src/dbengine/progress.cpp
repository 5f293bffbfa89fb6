// The progress watch: SQLite's progress handler on the watched connection.
#include "dbengine/progress.h"

#include "impl_access.h"
#include "connection.h"

#include <sqlite3.h>

namespace dbe {

namespace {
// Virtual machine steps between two ticks: small enough for a tick every few milliseconds on a
// large scan, large enough to cost nothing measurable.
constexpr int kSteps = 4000;
}  // namespace

ProgressWatch::ProgressWatch(const Database& db, std::function<bool()> tick)
    : d_(detail::implOf(db)), tick_(std::move(tick))
{
    if (d_ && d_->isOpen() && tick_)
        sqlite3_progress_handler(d_->db(), kSteps, &ProgressWatch::callback, this);
    else
        d_.reset();
}

ProgressWatch::~ProgressWatch()
{
    if (d_ && d_->isOpen())
        sqlite3_progress_handler(d_->db(), 0, nullptr, nullptr);
}

int ProgressWatch::callback(void* self)
{
    auto* w = static_cast<ProgressWatch*>(self);
    if (!w->interrupted_ && w->tick_())
        w->interrupted_ = true;
    return w->interrupted_ ? 1 : 0;
}

}  // namespace dbe
