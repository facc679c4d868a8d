#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

struct QueueEntry;

// What the rows are asked about often enough that a walk over all of them
// would make a long queue slow.
enum class RowFlag { Selected, Waiting, Active };
inline constexpr int ROW_FLAG_COUNT = 3;

// The rows of the queue in display order: a balanced tree by position, so
// that the row of an entry, the entry of a row, an insert, a removal and the
// first or next row with a flag all cost O(log n).
class RowTree {
public:
    RowTree();
    ~RowTree();
    RowTree(const RowTree&) = delete;
    RowTree& operator=(const RowTree&) = delete;

    int Size() const;
    bool Contains(const QueueEntry* entry) const { return nodes.count(entry) != 0; }
    QueueEntry* At(int row) const;
    // -1 when the entry has no row.
    int RowOf(const QueueEntry* entry) const;
    // `row` must lie in 0..Size(); the entry must not have a row yet.
    void Insert(int row, QueueEntry* entry);
    void Erase(int row);
    // Replaces the order with `order` (the same entries); flags stay with them.
    void Rebuild(const std::vector<QueueEntry*>& order);
    std::vector<QueueEntry*> Entries() const;

    bool Flag(int row, RowFlag flag) const;
    // False when the row has no such flag value change to make.
    bool SetFlag(int row, RowFlag flag, bool on);
    bool SetFlag(const QueueEntry* entry, RowFlag flag, bool on);
    int Count(RowFlag flag) const;
    // First row at or after `from` with the flag, or -1.
    int NextWith(RowFlag flag, int from = 0) const;
    // Last row with the flag, or -1.
    int LastWith(RowFlag flag) const;
    // Every row with the flag, in order.
    std::vector<int> RowsWith(RowFlag flag) const;

private:
    struct Node;
    using Pair = std::array<Node*, 2>;

    static int SizeOf(const Node* node);
    static int CountOf(const Node* node, RowFlag flag);
    static void Pull(Node* node);
    static Node* Merge(Node* a, Node* b);
    // The first `count` rows and the rest.
    static Pair Split(Node* node, int count);
    static void PullUp(Node* node);
    Node* NodeAt(int row) const;
    static int IndexOf(const Node* node);
    // The row of the flagged row of this rank (0 first), or -1.
    int RankedRow(RowFlag flag, int rank) const;

    Node* root = nullptr;
    std::unordered_map<const QueueEntry*, std::unique_ptr<Node>> nodes;
    std::uint32_t seed = 0x9e3779b9u;
};
