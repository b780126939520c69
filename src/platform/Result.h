#pragma once

#include <cerrno>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <variant>

namespace qx {

// Why something failed: a text for a log line or the terminal, and where the failure had one the
// errno-like number (0 when not), which counts as errno does on every system.
class Failure {
public:
    // An empty `reason` becomes "failed", so that a failure always says something.
    explicit Failure(std::string reason, int number = 0)
        : m_reason(reason.empty() ? std::string("failed") : std::move(reason)), m_number(number) {}

    const std::string& reason() const { return m_reason; }
    int number() const { return m_number; }

private:
    std::string m_reason;
    int m_number;
};

namespace detail {

// What every Result answers about its failure.
template <class Derived>
class ResultFailure {
public:
    // "" on success.
    const std::string& reason() const {
        static const std::string none;
        const Failure* failure = self().failure();
        return failure ? failure->reason() : none;
    }
    // The errno-like number of the failure; 0 on success or for a failure without one.
    int number() const {
        const Failure* failure = self().failure();
        return failure ? failure->number() : 0;
    }
    // Whether the failure was a file system (or the user's quota) without room left.
    bool full() const {
#ifdef EDQUOT
        if (number() == EDQUOT)
            return true;
#endif
        return number() == ENOSPC;
    }

private:
    const Derived& self() const {
        return static_cast<const Derived&>(*this);
    }
};

}  // namespace detail

// The outcome of an operation below the exported library: success (with a value of type T, none for
// void), or a Failure that says why. It is tested with an explicit bool (`if (result)`, `!result`,
// `a && b`) and never turns into a bool or a T by itself, and ignoring it is a warning (an error in
// this build). value() of a failure throws std::logic_error naming the reason: callers test first.
template <class T = void>
class [[nodiscard]] Result : public detail::ResultFailure<Result<T>> {
public:
    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Result(Failure failure) : m_state(std::in_place_index<1>, std::move(failure)) {}

    bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }

    const T& value() const& {
        check();
        return std::get<0>(m_state);
    }
    T& value() & {
        check();
        return std::get<0>(m_state);
    }
    T&& value() && {
        check();
        return std::get<0>(std::move(m_state));
    }
    // The value, or `fallback` on failure.
    T valueOr(T fallback) const { return ok() ? std::get<0>(m_state) : std::move(fallback); }

    // The failure itself, to hand on as another Result's; null on success.
    const Failure* failure() const { return std::get_if<1>(&m_state); }

private:
    void check() const {
        if (!ok())
            throw std::logic_error("value of a failed result: " + std::get<1>(m_state).reason());
    }
    std::variant<T, Failure> m_state;
};

template <>
class [[nodiscard]] Result<void> : public detail::ResultFailure<Result<void>> {
public:
    Result() = default;
    Result(Failure failure) : m_failure(std::move(failure)) {}

    bool ok() const { return !m_failure; }
    explicit operator bool() const { return ok(); }

    const Failure* failure() const { return m_failure ? &*m_failure : nullptr; }

    // Takes in the outcome of a further step of the same work: the first failure is the reason of the
    // whole, a later one only counts when nothing failed before.
    Result& join(Result later) {
        if (!m_failure && later.m_failure)
            m_failure = std::move(later.m_failure);
        return *this;
    }

private:
    std::optional<Failure> m_failure;
};

// The failures of like steps of one piece of work (task starts, reactions, calls), each of which only
// loses itself: the first reason stands for all, with the count when there was more than one.
class FailureTally {
public:
    // `plural` names the steps in the count: "calls" gives "REASON (3 calls failed)".
    explicit FailureTally(std::string plural) : m_plural(std::move(plural)) {}

    // Takes in the outcome of one step; only a failure counts.
    void add(const Result<>& step) {
        if (step)
            return;
        if (m_count++ == 0)
            m_first = *step.failure();
    }

    // How many steps failed.
    int count() const { return m_count; }

    // Success when no step failed; else the first reason, and the count when there were more.
    Result<> outcome() const {
        if (!m_first)
            return {};
        if (m_count == 1)
            return *m_first;
        return Failure(m_first->reason() + " (" + std::to_string(m_count) + " " + m_plural + " failed)",
                       m_first->number());
    }

private:
    std::string m_plural;
    std::optional<Failure> m_first;
    int m_count = 0;
};

}  // namespace qx
