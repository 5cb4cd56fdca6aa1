#pragma once
// A map of small keys to small values in one array: open addressing with
// linear probing. Registries that hold a record for each of a hundred
// thousand objects pay 16 bytes a slot here instead of a heap node and a
// bucket each. The key's zero value (0, nullptr) marks an empty slot and is
// never stored.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>
#include <vector>

namespace vesk {

template <class K, class V> class CompactMap {
    static_assert(std::is_integral_v<K> || std::is_pointer_v<K>, "keys are whole numbers or pointers");

public:
    struct Slot {
        K key{};
        V value{};
    };

    size_t size() const { return size_; }
    size_t Capacity() const { return slots_.size(); }

    // The value of key, or nullptr.
    V* Find(K key) {
        if (key == K{} || slots_.empty()) return nullptr;
        for (size_t i = Home(key);; i = Next(i)) {
            Slot& s = slots_[i];
            if (s.key == key) return &s.value;
            if (s.key == K{}) return nullptr;
        }
    }
    const V* Find(K key) const { return const_cast<CompactMap*>(this)->Find(key); }
    bool Contains(K key) const { return Find(key) != nullptr; }

    // Stores the value under key, replacing an earlier one. A zero key is ignored.
    void Set(K key, V value) {
        if (key == K{}) return;
        if (V* v = Find(key)) {
            *v = std::move(value);
            return;
        }
        // Grown at four fifths full: probe runs stay short.
        if ((size_ + 1) * 5 > slots_.size() * 4) Grow();
        Put(key, std::move(value));
        ++size_;
    }

    // Removes key; false when it was not there.
    bool Erase(K key) {
        if (key == K{} || slots_.empty()) return false;
        size_t i = Home(key);
        while (slots_[i].key != key) {
            if (slots_[i].key == K{}) return false;
            i = Next(i);
        }
        // Moves back each later entry of the run that the hole now separates
        // from its home slot, so no lookup stops early at the hole.
        for (size_t j = Next(i);; j = Next(j)) {
            if (slots_[j].key == K{}) break;
            const size_t home = Home(slots_[j].key);
            // j's entry may fill the hole unless its home lies cyclically in (i, j].
            const bool stays = i <= j ? (i < home && home <= j) : (i < home || home <= j);
            if (stays) continue;
            slots_[i] = std::move(slots_[j]);
            i = j;
        }
        slots_[i] = Slot{};
        --size_;
        return true;
    }

    template <class F> void ForEach(F&& f) const {
        for (const Slot& s : slots_)
            if (s.key != K{}) f(s.key, s.value);
    }

private:
    static uint64_t Bits(K key) {
        if constexpr (std::is_pointer_v<K>)
            return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(key));
        else
            return static_cast<uint64_t>(key);
    }
    size_t Home(K key) const {
        // Multiplicative hashing: aligned addresses and consecutive ids spread evenly.
        return static_cast<size_t>((Bits(key) * 0x9E3779B97F4A7C15ull) >> shift_);
    }
    size_t Next(size_t i) const { return (i + 1) & (slots_.size() - 1); }

    void Put(K key, V value) {
        size_t i = Home(key);
        while (slots_[i].key != K{}) i = Next(i);
        slots_[i] = Slot{key, std::move(value)};
    }

    void Grow() {
        const size_t capacity = slots_.empty() ? 16 : slots_.size() * 2;
        std::vector<Slot> old(capacity);
        old.swap(slots_);
        shift_ = 64 - std::countr_zero(capacity);
        for (Slot& s : old)
            if (s.key != K{}) Put(s.key, std::move(s.value));
    }

    std::vector<Slot> slots_;
    size_t size_ = 0;
    int shift_ = 64;
};

} // namespace vesk
