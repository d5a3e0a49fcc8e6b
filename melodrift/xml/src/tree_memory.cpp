// The memory of the trees (mdxml::TreeMemory): nodes, names, values and
// attribute lists are hundreds of thousands of small blocks for a large skin.
//
// Blocks of up to 512 bytes come in size classes (multiples of 16 bytes) from
// slabs of 64 KiB, each slab holding blocks of one class: first handed out in
// address order, then from the slab's list of blocks given back. A slab whose
// blocks have all come back starts afresh (empty list, address order) and may
// then serve any class, so that a tree read after another was destroyed lies
// in memory in the order it is read and walked. Larger blocks come from the
// heap. Slabs are carved from arenas of 1 MiB kept for the life of the module
// (a freed skin's memory serves the next one).
//
// One lock: without contention it costs a few nanoseconds, where the system
// heap under Wine spends hundreds per block.
//
// Under the address sanitizer there is no pool: every block comes from the
// system allocator, which the sanitizer watches with guard zones after each
// block and holds back what was given back, so that a read or write past the
// requested size or after the block's return is reported in every tree (the
// pool would round sizes up, put blocks side by side and reuse them at once).
#include "xml/enxml.h"

#include <cstdint>
#include <mutex>
#include <new>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define MDXML_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MDXML_ADDRESS_SANITIZER 1
#endif
#endif

namespace mdxml {

namespace {

#if defined(MDXML_ADDRESS_SANITIZER)

class SystemMemory final : public std::pmr::memory_resource {
    void* do_allocate(std::size_t bytes, std::size_t alignment) override {
        return ::operator new(bytes, std::align_val_t(alignment));
    }
    void do_deallocate(void* block, std::size_t, std::size_t alignment) override {
        ::operator delete(block, std::align_val_t(alignment));
    }
    bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override { return this == &other; }
};
using Memory = SystemMemory;

#else

class SlabPool final : public std::pmr::memory_resource {
public:
    SlabPool() = default;
    SlabPool(const SlabPool&) = delete;
    SlabPool& operator=(const SlabPool&) = delete;

private:
    static constexpr std::size_t kGrain = 16;
    static constexpr std::size_t kLargest = 512;
    static constexpr std::size_t kClasses = kLargest / kGrain;
    static constexpr std::size_t kSlabBytes = 64 * 1024;
    static constexpr std::size_t kSlabsPerArena = 16;

    struct FreeBlock {
        FreeBlock* next;
    };

    // At the start of every slab (slabs are aligned to their size, so a
    // block's slab is its address rounded down).
    struct Slab {
        Slab* prev;  // in its class's list of slabs with room
        Slab* next;  // ... or in the list of empty slabs
        FreeBlock* given;
        unsigned char* fresh;  // never handed out from here on
        std::size_t live;      // blocks handed out and not given back
        bool withRoom;  // in its class's list
    };
    static constexpr std::size_t kHeader = (sizeof(Slab) + kGrain - 1) / kGrain * kGrain;

    static bool Pooled(std::size_t bytes, std::size_t alignment) {
        return bytes <= kLargest && alignment <= kGrain;
    }
    static std::size_t ClassOf(std::size_t bytes) { return bytes == 0 ? 0 : (bytes - 1) / kGrain; }
    static Slab* SlabOf(void* block) {
        return reinterpret_cast<Slab*>(reinterpret_cast<std::uintptr_t>(block) & ~(std::uintptr_t{kSlabBytes} - 1));
    }
    static unsigned char* End(Slab* slab) { return reinterpret_cast<unsigned char*>(slab) + kSlabBytes; }

    void Unlink(Slab*& head, Slab* slab) {
        if (slab->prev)
            slab->prev->next = slab->next;
        else
            head = slab->next;
        if (slab->next)
            slab->next->prev = slab->prev;
        slab->prev = slab->next = nullptr;
    }
    void PushFront(Slab*& head, Slab* slab) {
        slab->prev = nullptr;
        slab->next = head;
        if (head)
            head->prev = slab;
        head = slab;
    }

    // An empty slab: a kept one, else one of a new arena.
    Slab* TakeEmpty() {
        if (!m_empty) {
            const std::size_t bytes = (kSlabsPerArena + 1) * kSlabBytes;
            m_arenas.reserve(m_arenas.size() + 1);
            auto* arena = static_cast<unsigned char*>(::operator new(bytes));
            m_arenas.push_back(arena);
            const std::uintptr_t first =
                (reinterpret_cast<std::uintptr_t>(arena) + kSlabBytes - 1) & ~(std::uintptr_t{kSlabBytes} - 1);
            for (std::size_t i = 0; i < kSlabsPerArena; ++i)
                PushFront(m_empty, new (reinterpret_cast<void*>(first + i * kSlabBytes)) Slab{});
        }
        Slab* slab = m_empty;
        Unlink(m_empty, slab);
        slab->given = nullptr;
        slab->fresh = reinterpret_cast<unsigned char*>(slab) + kHeader;
        slab->live = 0;
        return slab;
    }

    void* do_allocate(std::size_t bytes, std::size_t alignment) override {
        if (!Pooled(bytes, alignment))
            return ::operator new(bytes, std::align_val_t(alignment));
        const std::size_t c = ClassOf(bytes);
        const std::size_t size = (c + 1) * kGrain;
        std::lock_guard<std::mutex> hold(m_lock);
        for (;;) {
            Slab* slab = m_withRoom[c];
            if (!slab) {
                slab = TakeEmpty();
                slab->withRoom = true;
                PushFront(m_withRoom[c], slab);
            }
            void* block = nullptr;
            if (slab->given) {
                block = slab->given;
                slab->given = slab->given->next;
            } else if (static_cast<std::size_t>(End(slab) - slab->fresh) >= size) {
                block = slab->fresh;
                slab->fresh += size;
            }
            if (block) {
                ++slab->live;
                return block;
            }
            Unlink(m_withRoom[c], slab);  // full: out of the list until a block comes back
            slab->withRoom = false;
        }
    }

    void do_deallocate(void* block, std::size_t bytes, std::size_t alignment) override {
        if (!Pooled(bytes, alignment)) {
            ::operator delete(block, std::align_val_t(alignment));
            return;
        }
        const std::size_t c = ClassOf(bytes);
        std::lock_guard<std::mutex> hold(m_lock);
        Slab* slab = SlabOf(block);
        if (--slab->live == 0) {
            if (slab->withRoom)
                Unlink(m_withRoom[c], slab);
            slab->withRoom = false;
            PushFront(m_empty, slab);
            return;
        }
        slab->given = new (block) FreeBlock{slab->given};
        if (!slab->withRoom) {
            slab->withRoom = true;
            PushFront(m_withRoom[c], slab);
        }
    }

    bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override { return this == &other; }

    std::mutex m_lock;
    Slab* m_withRoom[kClasses] = {};  // per class; the first is the one blocks come from
    Slab* m_empty = nullptr;
    std::vector<void*> m_arenas;  // kept for the life of the module
};
using Memory = SlabPool;

#endif

}  // namespace

std::pmr::memory_resource* TreeMemory() {
    static Memory* const memory = new Memory;
    return memory;
}

}  // namespace mdxml
