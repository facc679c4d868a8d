#include "queue/row_tree.h"

#include <algorithm>
#include <utility>

struct RowTree::Node {
    QueueEntry* entry = nullptr;
    Node* left = nullptr;
    Node* right = nullptr;
    Node* parent = nullptr;
    std::uint32_t priority = 0;
    int size = 1;
    std::array<bool, ROW_FLAG_COUNT> flags{};
    std::array<int, ROW_FLAG_COUNT> counts{};
};

RowTree::RowTree() = default;

RowTree::~RowTree() = default;

int RowTree::SizeOf(const Node* node) {
    return node != nullptr ? node->size : 0;
}

int RowTree::CountOf(const Node* node, RowFlag flag) {
    return node != nullptr ? node->counts[std::size_t(flag)] : 0;
}

void RowTree::Pull(Node* node) {
    node->size = 1 + SizeOf(node->left) + SizeOf(node->right);
    for (int i = 0; i < ROW_FLAG_COUNT; ++i) {
        const auto flag = RowFlag(i);
        node->counts[std::size_t(i)] = int(node->flags[std::size_t(i)]) +
                                       CountOf(node->left, flag) + CountOf(node->right, flag);
    }
    if (node->left != nullptr) {
        node->left->parent = node;
    }
    if (node->right != nullptr) {
        node->right->parent = node;
    }
}

RowTree::Node* RowTree::Merge(Node* a, Node* b) {
    if (a == nullptr) {
        return b;
    }
    if (b == nullptr) {
        return a;
    }
    if (a->priority > b->priority) {
        a->right = Merge(a->right, b);
        Pull(a);
        return a;
    }
    b->left = Merge(a, b->left);
    Pull(b);
    return b;
}

RowTree::Pair RowTree::Split(Node* node, int count) {
    if (node == nullptr) {
        return {nullptr, nullptr};
    }
    if (SizeOf(node->left) >= count) {
        Pair parts = Split(node->left, count);
        node->left = parts[1];
        Pull(node);
        if (parts[0] != nullptr) {
            parts[0]->parent = nullptr;
        }
        return {parts[0], node};
    }
    Pair parts = Split(node->right, count - SizeOf(node->left) - 1);
    node->right = parts[0];
    Pull(node);
    if (parts[1] != nullptr) {
        parts[1]->parent = nullptr;
    }
    return {node, parts[1]};
}

void RowTree::PullUp(Node* node) {
    for (; node != nullptr; node = node->parent) {
        Pull(node);
    }
}

int RowTree::Size() const {
    return SizeOf(root);
}

RowTree::Node* RowTree::NodeAt(int row) const {
    if (row < 0 || row >= Size()) {
        return nullptr;
    }
    Node* node = root;
    for (;;) {
        const int left = SizeOf(node->left);
        if (row < left) {
            node = node->left;
        } else if (row == left) {
            return node;
        } else {
            row -= left + 1;
            node = node->right;
        }
    }
}

int RowTree::IndexOf(const Node* node) {
    int index = SizeOf(node->left);
    for (; node->parent != nullptr; node = node->parent) {
        if (node->parent->right == node) {
            index += SizeOf(node->parent->left) + 1;
        }
    }
    return index;
}

QueueEntry* RowTree::At(int row) const {
    const Node* node = NodeAt(row);
    return node != nullptr ? node->entry : nullptr;
}

int RowTree::RowOf(const QueueEntry* entry) const {
    const auto found = nodes.find(entry);
    return found != nodes.end() ? IndexOf(found->second.get()) : -1;
}

void RowTree::Insert(int row, QueueEntry* entry) {
    auto owned = std::make_unique<Node>();
    Node* node = owned.get();
    node->entry = entry;
    // xorshift: priorities only need to look random to keep the tree shallow.
    seed ^= seed << 13;
    seed ^= seed >> 17;
    seed ^= seed << 5;
    node->priority = seed;
    nodes[entry] = std::move(owned);
    Pair parts = Split(root, row);
    root = Merge(Merge(parts[0], node), parts[1]);
    root->parent = nullptr;
}

void RowTree::Erase(int row) {
    Node* node = NodeAt(row);
    if (node == nullptr) {
        return;
    }
    Node* joined = Merge(node->left, node->right);
    Node* parent = node->parent;
    if (parent == nullptr) {
        root = joined;
    } else if (parent->left == node) {
        parent->left = joined;
    } else {
        parent->right = joined;
    }
    if (joined != nullptr) {
        joined->parent = parent;
    }
    PullUp(parent);
    nodes.erase(node->entry);
}

void RowTree::Rebuild(const std::vector<QueueEntry*>& order) {
    std::vector<Node*> sequence;
    sequence.reserve(order.size());
    for (QueueEntry* entry : order) {
        const auto found = nodes.find(entry);
        if (found == nodes.end()) {
            continue;
        }
        Node* node = found->second.get();
        node->left = node->right = node->parent = nullptr;
        sequence.push_back(node);
    }
    // A Cartesian tree over the new sequence, built in one pass with a stack.
    std::vector<Node*> spine;
    for (Node* node : sequence) {
        Node* last = nullptr;
        while (!spine.empty() && spine.back()->priority < node->priority) {
            last = spine.back();
            spine.pop_back();
        }
        node->left = last;
        if (!spine.empty()) {
            spine.back()->right = node;
        }
        spine.push_back(node);
    }
    root = spine.empty() ? nullptr : spine.front();
    // Sizes and counts from the leaves up: children before their parents.
    std::vector<Node*> visited;
    visited.reserve(sequence.size());
    std::vector<Node*> stack;
    if (root != nullptr) {
        stack.push_back(root);
    }
    while (!stack.empty()) {
        Node* node = stack.back();
        stack.pop_back();
        visited.push_back(node);
        for (Node* child : {node->left, node->right}) {
            if (child != nullptr) {
                stack.push_back(child);
            }
        }
    }
    for (auto it = visited.rbegin(); it != visited.rend(); ++it) {
        Pull(*it);
    }
    if (root != nullptr) {
        root->parent = nullptr;
    }
}

std::vector<QueueEntry*> RowTree::Entries() const {
    std::vector<QueueEntry*> entries;
    entries.reserve(std::size_t(Size()));
    std::vector<Node*> stack;
    for (Node* node = root; node != nullptr || !stack.empty();) {
        while (node != nullptr) {
            stack.push_back(node);
            node = node->left;
        }
        node = stack.back();
        stack.pop_back();
        entries.push_back(node->entry);
        node = node->right;
    }
    return entries;
}

bool RowTree::Flag(int row, RowFlag flag) const {
    const Node* node = NodeAt(row);
    return node != nullptr && node->flags[std::size_t(flag)];
}

bool RowTree::SetFlag(int row, RowFlag flag, bool on) {
    Node* node = NodeAt(row);
    if (node == nullptr || node->flags[std::size_t(flag)] == on) {
        return false;
    }
    node->flags[std::size_t(flag)] = on;
    PullUp(node);
    return true;
}

bool RowTree::SetFlag(const QueueEntry* entry, RowFlag flag, bool on) {
    const auto found = nodes.find(entry);
    if (found == nodes.end() || found->second->flags[std::size_t(flag)] == on) {
        return false;
    }
    found->second->flags[std::size_t(flag)] = on;
    PullUp(found->second.get());
    return true;
}

int RowTree::Count(RowFlag flag) const {
    return CountOf(root, flag);
}

int RowTree::RankedRow(RowFlag flag, int rank) const {
    if (rank < 0 || rank >= Count(flag)) {
        return -1;
    }
    const Node* node = root;
    int index = 0;
    for (;;) {
        const int leftCount = CountOf(node->left, flag);
        if (rank < leftCount) {
            node = node->left;
            continue;
        }
        index += SizeOf(node->left);
        rank -= leftCount;
        if (node->flags[std::size_t(flag)]) {
            if (rank == 0) {
                return index;
            }
            --rank;
        }
        ++index;
        node = node->right;
    }
}

int RowTree::NextWith(RowFlag flag, int from) const {
    // The flagged rows before `from` are skipped by their count.
    int before = 0;
    const Node* node = root;
    for (int row = std::max(from, 0); node != nullptr && row > 0;) {
        const int left = SizeOf(node->left);
        if (row <= left) {
            node = node->left;
        } else {
            before += CountOf(node->left, flag) + int(node->flags[std::size_t(flag)]);
            row -= left + 1;
            node = node->right;
        }
    }
    return RankedRow(flag, before);
}

int RowTree::LastWith(RowFlag flag) const {
    return RankedRow(flag, Count(flag) - 1);
}

std::vector<int> RowTree::RowsWith(RowFlag flag) const {
    std::vector<int> rows;
    rows.reserve(std::size_t(Count(flag)));
    for (int row = NextWith(flag, 0); row >= 0; row = NextWith(flag, row + 1)) {
        rows.push_back(row);
    }
    return rows;
}
