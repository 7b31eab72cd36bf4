#pragma once

#include <QString>

// The outcome of an action that can fail: success, or the error text to show. Built only through
// success() and failure(), so an error text can never pass for success by accident; the caller
// must look at it.
class [[nodiscard]] Result
{
public:
    static Result success() { return Result(QString()); }
    // An empty text still counts as a failure (the engine gave no message).
    static Result failure(const QString& error)
    {
        Result r(error);
        r.m_failed = true;
        return r;
    }
    // From a lower layer's "empty text on success, else the message".
    static Result fromError(const QString& error) { return error.isEmpty() ? success() : failure(error); }

    bool ok() const { return !m_failed; }
    QString error() const { return m_error; }

private:
    explicit Result(const QString& error) : m_error(error) {}
    QString m_error;
    bool m_failed = false;
};
