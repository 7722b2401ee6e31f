#pragma once

// The document as a step of the history keeps it.  The lists of marks are
// kept in pieces, and a step takes over from its neighbour every piece the
// step did not change: 500 edits of single marks of a large document hold
// the changed pieces and little more, not 500 copies of every mark.

#include "measure/model.h"

#include <cstddef>
#include <memory>
#include <unordered_set>
#include <vector>

namespace kvx {

struct WorkState;

template <class T>
class SharedList {
public:
    // Small enough that a piece copied for one changed mark costs little,
    // large enough that the pointers to the pieces cost less.
    static constexpr std::size_t kPiece = 32;

    SharedList() = default;
    // The pieces of list; a piece equal to like's piece at the same place is
    // like's own.
    SharedList(const OneBased<T>& list, const SharedList* like)
    {
        const std::size_t count = static_cast<std::size_t>(list.Count());
        pieces_.reserve((count + kPiece - 1) / kPiece);
        for (std::size_t at = 0; at < count; at += kPiece) {
            const auto first = list.begin() + static_cast<std::ptrdiff_t>(at);
            const auto last = list.begin() + static_cast<std::ptrdiff_t>(std::min(count, at + kPiece));
            const std::size_t k = at / kPiece;
            if (like && k < like->pieces_.size() && std::equal(first, last, like->pieces_[k]->begin(), like->pieces_[k]->end()))
                pieces_.push_back(like->pieces_[k]);
            else
                pieces_.push_back(std::make_shared<const std::vector<T>>(first, last));
        }
    }

    OneBased<T> Items() const
    {
        OneBased<T> list;
        std::size_t count = 0;
        for (const auto& p : pieces_)
            count += p->size();
        list.Reserve(count);
        for (const auto& p : pieces_)
            for (const T& item : *p)
                list.Append(item);
        return list;
    }

    // The bytes of the pieces not counted in seen yet, which then are.
    std::size_t Bytes(std::unordered_set<const void*>& seen) const
    {
        std::size_t bytes = pieces_.capacity() * sizeof(pieces_[0]);
        for (const auto& p : pieces_) {
            if (!seen.insert(p.get()).second)
                continue;
            // The vector, its items and the shared count beside them.
            bytes += sizeof(std::vector<T>) + 2 * sizeof(long) + p->capacity() * sizeof(T);
            for (const T& item : *p)
                bytes += HeldBytes(item);
        }
        return bytes;
    }

private:
    static std::size_t HeldBytes(const TSpace& s)
    {
        return (s.points.capacity() + s.correctedPoints.capacity()) * sizeof(TDPoint) + s.name.capacity();
    }
    template <class U>
    static std::size_t HeldBytes(const U&)
    {
        return 0;
    }

    std::vector<std::shared_ptr<const std::vector<T>>> pieces_;
};

struct StoredPlane {
    SharedList<TDistance> distances;
    SharedList<TSpace> spaces;
    SharedList<TCheck> checks;
};

} // namespace kvx
