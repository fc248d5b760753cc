// LIKE with the old wildcards (store::jetLike) on long and adversarial patterns.
//
// The bound: runs of '*' collapse into one when the pattern is compiled, and on a mismatch only
// the last '*' takes one more character before matching resumes after it. Every other token
// takes exactly one character, so a match costs at most (pattern tokens) x (text characters)
// single-character comparisons, and a pattern of 1,000 '*' is as cheap as one '*': linear in the
// text. A pattern of 1,000 '*' against 10,000 characters must finish far below 100 ms (it takes
// microseconds). The worst kind of pattern, one '*' followed by many literals that almost match
// everywhere ("*aaa…ab" against "aaa…"), reaches the bound: about 10^7 comparisons for 1,000
// literals against 10,000 characters, still under 100 ms. Alternating stars ("*a*a*a…b") stay
// linear, as each star moves the restart point on.

#include "store/Like.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QString>

#include <cstdio>
#include <cstdlib>

namespace {

QString repeated(const QString& piece, int times) {
    return piece.repeated(times);
}

// Japanese and Latin text of `length` characters.
QString mixedText(int length) {
    return QStringLiteral("会議ABCｶﾀｶﾅabc予定123").repeated(length / 15 + 1).left(length);
}

void report(benchmark::State& state, const QString& pattern, const QString& text, bool expected) {
    bool matched = false;
    for (auto _ : state) {
        matched = store::jetLike(pattern, text);
        benchmark::DoNotOptimize(matched);
    }
    if (matched != expected)
        state.SkipWithError("unexpected result");
    state.counters["pattern"] = static_cast<double>(pattern.size());
    state.counters["text"] = static_cast<double>(text.size());
}

// 1,000 '*' against 10,000 characters: matches.
void BM_ThousandStars(benchmark::State& state) {
    report(state, repeated(QStringLiteral("*"), 1000), mixedText(static_cast<int>(state.range(0))), true);
}
BENCHMARK(BM_ThousandStars)->Arg(10'000)->Unit(benchmark::kMicrosecond);

// 1,000 '*' and a character the text does not hold: the whole text is tried.
void BM_ThousandStarsNoMatch(benchmark::State& state) {
    report(state, repeated(QStringLiteral("*"), 1000) + QStringLiteral("Z"),
           mixedText(static_cast<int>(state.range(0))), false);
}
BENCHMARK(BM_ThousandStarsNoMatch)->Arg(10'000)->Unit(benchmark::kMicrosecond);

// "*a*a*a…*b" with range(0) pairs against 10,000 'a': no match.
void BM_AlternatingStars(benchmark::State& state) {
    report(state, repeated(QStringLiteral("*a"), static_cast<int>(state.range(0))) + QStringLiteral("*b"),
           repeated(QStringLiteral("a"), 10'000), false);
}
BENCHMARK(BM_AlternatingStars)->Arg(10)->Arg(500)->Arg(5'000)->Unit(benchmark::kMicrosecond);

// "*aaa…ab" with range(0) literals against 10,000 'a': every restart gets almost to the end of
// the pattern; this is the (pattern x text) bound itself.
void BM_StarThenLongLiteral(benchmark::State& state) {
    report(state,
           QStringLiteral("*") + repeated(QStringLiteral("a"), static_cast<int>(state.range(0))) +
               QStringLiteral("b"),
           repeated(QStringLiteral("a"), 10'000), false);
}
BENCHMARK(BM_StarThenLongLiteral)->Arg(10)->Arg(100)->Arg(1'000)->Unit(benchmark::kMicrosecond);

// Classes and single-character wildcards after a star: "*[a-z]?#[!x]…" against 10,000 characters.
void BM_ClassesAfterStar(benchmark::State& state) {
    report(state,
           QStringLiteral("*") + repeated(QStringLiteral("[a-z]?#[!x]"), static_cast<int>(state.range(0))),
           repeated(QStringLiteral("a1"), 5'000), false);
}
BENCHMARK(BM_ClassesAfterStar)->Arg(250)->Unit(benchmark::kMicrosecond);

// The same matcher behind SQL (UTF-8 text): 1,000 '*' against 10,000 characters.
void BM_SqlThousandStars(benchmark::State& state) {
    sqlite3* db = nullptr;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_open(":memory:", &db) != SQLITE_OK || store::registerJetLike(db) != SQLITE_OK ||
        sqlite3_prepare_v2(db, "SELECT ?1 LIKE ?2", -1, &stmt, nullptr) != SQLITE_OK) {
        state.SkipWithError("no in-memory database");
        sqlite3_close(db);
        return;
    }
    const QByteArray text = mixedText(static_cast<int>(state.range(0))).toUtf8();
    const QByteArray pattern = repeated(QStringLiteral("*"), 1000).toUtf8() + "Z";
    for (auto _ : state) {
        sqlite3_bind_text(stmt, 1, text.constData(), static_cast<int>(text.size()), SQLITE_STATIC);
        sqlite3_bind_text(stmt, 2, pattern.constData(), static_cast<int>(pattern.size()), SQLITE_STATIC);
        if (sqlite3_step(stmt) != SQLITE_ROW || sqlite3_column_int(stmt, 0) != 0)
            state.SkipWithError("unexpected result");
        sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
}
BENCHMARK(BM_SqlThousandStars)->Arg(10'000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
