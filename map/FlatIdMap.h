#pragma once
// Open-addressing hash map from 64-bit OSM ids to small values. A country
// extract holds millions of nodes; node-based maps would cost an allocation
// and about 50 bytes per entry, this one about 35 bytes and none.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

namespace pathlark {

template <typename Value>
class FlatIdMap {
public:
    // Inserts or overwrites; returns the stored value.
    Value& assign(std::int64_t id, const Value& value)
    {
        Value* slot = findOrInsert(id, value).first;
        *slot = value;
        return *slot;
    }

    // Inserts only when id is absent; returns the stored value and whether it was inserted.
    std::pair<Value*, bool> insert(std::int64_t id, const Value& value) { return findOrInsert(id, value); }

    const Value* find(std::int64_t id) const
    {
        if (id == emptyId)
            return emptyIdValue ? &*emptyIdValue : nullptr;
        if (slots.empty())
            return nullptr;
        for (std::size_t i = hash(id) & mask();; i = (i + 1) & mask()) {
            const Slot& slot = slots[i];
            if (slot.id == id)
                return &slot.value;
            if (slot.id == emptyId)
                return nullptr;
        }
    }

    bool contains(std::int64_t id) const { return find(id) != nullptr; }
    std::size_t size() const { return count; }

private:
    // The one id that marks free slots; an entry with that id is kept aside.
    static constexpr std::int64_t emptyId = std::numeric_limits<std::int64_t>::min();

    struct Slot {
        std::int64_t id = emptyId;
        Value value{};
    };

    static std::size_t hash(std::int64_t id)
    {
        // splitmix64 finaliser on all but the low three bits: OSM ids come in
        // dense ascending runs, which would pile into long probe clusters
        // unmixed, while keeping eight neighbours side by side saves cache
        // misses when a file lists nodes in id order.
        std::uint64_t x = static_cast<std::uint64_t>(id) >> 3;
        x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
        x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
        return static_cast<std::size_t>(((x ^ (x >> 31)) << 3) | (static_cast<std::uint64_t>(id) & 7));
    }

    std::size_t mask() const { return slots.size() - 1; }

    std::pair<Value*, bool> findOrInsert(std::int64_t id, const Value& value)
    {
        if (id == emptyId) {
            if (emptyIdValue)
                return {&*emptyIdValue, false};
            emptyIdValue = value;
            ++count;
            return {&*emptyIdValue, true};
        }
        // Load factor at most 3/4 keeps probe sequences short.
        if ((count + 1) * 4 > slots.size() * 3)
            grow();
        for (std::size_t i = hash(id) & mask();; i = (i + 1) & mask()) {
            Slot& slot = slots[i];
            if (slot.id == id)
                return {&slot.value, false};
            if (slot.id == emptyId) {
                slot.id = id;
                slot.value = value;
                ++count;
                return {&slot.value, true};
            }
        }
    }

    void grow()
    {
        std::vector<Slot> old = std::move(slots);
        slots.assign(old.empty() ? 1024 : old.size() * 2, Slot{});
        for (Slot& slot : old) {
            if (slot.id == emptyId)
                continue;
            std::size_t i = hash(slot.id) & mask();
            while (slots[i].id != emptyId)
                i = (i + 1) & mask();
            slots[i] = std::move(slot);
        }
    }

    std::vector<Slot> slots;
    std::optional<Value> emptyIdValue;
    std::size_t count = 0;
};

} // namespace pathlark
