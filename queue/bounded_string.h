#pragma once

#include <QString>

// Text of at most `Limit` characters; longer text is cut when assigned, as in
// the fixed buffers the record is defined by.
template <int Limit> class BoundedString {
public:
    static constexpr int LIMIT = Limit;

    BoundedString() = default;
    BoundedString(const QString& value) : text(value.left(Limit)) {}
    BoundedString& operator=(const QString& value) {
        text = value.left(Limit);
        return *this;
    }

    const QString& str() const { return text; }
    operator const QString&() const { return text; }
    bool isEmpty() const { return text.isEmpty(); }
    void clear() { text.clear(); }
    bool operator==(const BoundedString&) const = default;

private:
    QString text;
};
