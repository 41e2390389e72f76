// An ordered list of plug-in callbacks (hooks, drawables) that may change while it is being
// walked: a callback can register or remove callbacks, even itself. Entries added during a
// walk are not called by it; removed ones are skipped at once and destroyed only once no
// walk is running, so a callable is never destroyed while it runs.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <pluginsdk/types.h>

namespace vhost {

template <class Callback>
class CallbackList {
public:
    struct Entry {
        pluginsdk::Handle owner = 0;
        std::string name;  // event name for hooks; empty for drawables
        Callback callback;
        bool removed = false;
    };

    void Add(pluginsdk::Handle owner, std::string name, Callback callback) {
        entries_.push_back(std::make_unique<Entry>(Entry{owner, std::move(name), std::move(callback), false}));
    }

    template <class Predicate>
    void RemoveIf(Predicate&& predicate) {
        for (auto& entry : entries_) {
            if (!entry->removed && predicate(*entry)) {
                entry->removed = true;
                dirty_ = true;
            }
        }
        Compact();
    }

    void Clear() {
        RemoveIf([](const Entry&) { return true; });
    }

    // Calls `call(entry)` for every live entry present when the walk starts, in order.
    template <class Call>
    void ForEach(Call&& call) {
        const Walk walk(*this);
        const std::size_t count = entries_.size();
        for (std::size_t i = 0; i < count; ++i) {
            Entry* entry = entries_[i].get();
            if (!entry->removed) call(*entry);
        }
    }

    std::size_t Count() const {
        std::size_t count = 0;
        for (const auto& entry : entries_) count += entry->removed ? 0 : 1;
        return count;
    }

    template <class Predicate>
    std::size_t CountIf(Predicate&& predicate) const {
        std::size_t count = 0;
        for (const auto& entry : entries_) count += !entry->removed && predicate(*entry) ? 1 : 0;
        return count;
    }

private:
    class Walk {
    public:
        explicit Walk(CallbackList& list) : list_(list) { ++list_.walking_; }
        ~Walk() {
            --list_.walking_;
            list_.Compact();
        }
        Walk(const Walk&) = delete;
        Walk& operator=(const Walk&) = delete;

    private:
        CallbackList& list_;
    };

    void Compact() {
        if (walking_ > 0 || !dirty_) return;
        dirty_ = false;
        // Move the removed entries out first: destroying a callable may run plug-in code
        // that touches this list again.
        std::vector<std::unique_ptr<Entry>> dead;
        std::vector<std::unique_ptr<Entry>> live;
        for (auto& entry : entries_) (entry->removed ? dead : live).push_back(std::move(entry));
        entries_ = std::move(live);
    }

    std::vector<std::unique_ptr<Entry>> entries_;
    int walking_ = 0;
    bool dirty_ = false;
};

}  // namespace vhost
