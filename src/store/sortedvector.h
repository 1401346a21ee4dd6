#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

// Putting items into an ordered list, and taking them out, at places already found: however
// many items, the part of the list that moves is moved once.
namespace store {

// Inserts items[j] before the element that stood at positions[j]; the positions are in
// ascending order and count the list as it was.
template <typename T>
void insertAt(std::vector<T> &list, const std::vector<std::size_t> &positions, const std::vector<T> &items)
{
    const std::size_t k = items.size();
    if (k == 0)
        return;
    if (k == 1) {
        list.insert(list.begin() + std::ptrdiff_t(positions[0]), items[0]);
        return;
    }
    std::size_t end = list.size();
    list.resize(end + k);
    // From the back: the elements between one position and the next move up by the number of
    // items that go before them.
    for (std::size_t j = k; j-- > 0;) {
        const std::size_t at = positions[j];
        std::move_backward(list.begin() + std::ptrdiff_t(at), list.begin() + std::ptrdiff_t(end),
                           list.begin() + std::ptrdiff_t(end + j + 1));
        list[at + j] = items[j];
        end = at;
    }
}

// Removes the elements at `positions`, which are distinct and in ascending order.
template <typename T>
void eraseAt(std::vector<T> &list, const std::vector<std::size_t> &positions)
{
    if (positions.empty())
        return;
    auto write = list.begin() + std::ptrdiff_t(positions.front());
    for (std::size_t j = 0; j < positions.size(); ++j) {
        const std::size_t from = positions[j] + 1;
        const std::size_t to = j + 1 < positions.size() ? positions[j + 1] : list.size();
        write = std::move(list.begin() + std::ptrdiff_t(from), list.begin() + std::ptrdiff_t(to), write);
    }
    list.erase(write, list.end());
}

} // namespace store
