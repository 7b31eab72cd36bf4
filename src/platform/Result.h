#pragma once

// The one way every layer reports an action that can fail: Result, and Expected<T> for an action that
// gives a value. Header only and on Qt Core alone, so that the sheet readers, which link nothing of the
// rest of the program, use it as well.

#include <QString>

#include <utility>

// The outcome of an action that can fail: success, or the error text to show. Built only through
// success() and failure(), so an error text can never pass for success by accident; the caller
// must look at it. Where a caller must tell failures apart, it looks at code(), never at the text.
class [[nodiscard]] Result
{
public:
    enum class Code
    {
        None,        // success
        Failed,      // any failure a caller does not tell apart from others; the text says what
        Cancelled,   // the user stopped the work (取消); the text is a short note
        TooManyRows, // more rows than the file's kind or the task takes; nothing was written
        ReadFailed,  // the input could not be read (or holds what cannot be stored); nothing was stored
        StoreFailed, // writing was refused part way; what was written before it stays
        Refused,     // refused because of what the data holds now; the text says why, for the user as it is
    };

    static Result success() { return Result(Code::None, QString()); }
    // An empty text still counts as a failure (the engine gave no message).
    static Result failure(const QString& error, Code code = Code::Failed)
    {
        return Result(code == Code::None ? Code::Failed : code, error);
    }
    static Result cancelled(const QString& note) { return failure(note, Code::Cancelled); }
    // From a lower layer's "empty text on success, else the message".
    static Result fromError(const QString& error) { return error.isEmpty() ? success() : failure(error); }

    bool ok() const { return m_code == Code::None; }
    bool wasCancelled() const { return m_code == Code::Cancelled; }
    Code code() const { return m_code; }
    QString error() const { return m_error; }

private:
    Result(Code code, const QString& error) : m_code(code), m_error(error) {}
    Code m_code;
    QString m_error;
};

// A value, or the Result that says why there is none. Built from a value (success) or from a failed
// Result. A failure holds an empty value (T()), so that nothing read before the failure is ever used
// and asking for it is harmless.
template <typename T> class [[nodiscard]] Expected
{
public:
    Expected(T value) : m_value(std::move(value)), m_result(Result::success()) {}
    Expected(Result failure) : m_value(), m_result(std::move(failure))
    {
        Q_ASSERT_X(!m_result.ok(), "Expected", "built from a Result that is not a failure");
        if (m_result.ok()) // never mistaken for success with no value
            m_result = Result::failure(QString());
    }

    bool ok() const { return m_result.ok(); }
    bool wasCancelled() const { return m_result.wasCancelled(); }
    const Result& result() const { return m_result; }
    Result::Code code() const { return m_result.code(); }
    QString error() const { return m_result.error(); }

    T& value() { return m_value; }
    const T& value() const { return m_value; }
    T* operator->() { return &m_value; }
    const T* operator->() const { return &m_value; }
    // Moves the value out (the Expected then holds an emptied value).
    T take() { return std::move(m_value); }

private:
    T m_value;
    Result m_result;
};
