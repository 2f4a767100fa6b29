// Recognition of formula terms: which form of the language a piece of the normalised
// formula text has, and its operand pieces. The forms are tried in their fixed order and
// binary forms search their operator in the text, as the language defines; what a piece
// is gets remembered per start and end, and split points that cannot work are skipped,
// so that a long formula is recognised in about a millisecond instead of exponential time.
#pragma once

#include "rates/formula/operations.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace formula {

class VariableTable;

namespace detail {

// The forms of a term, in the order they are tried.
enum class Form : std::uint8_t {
    Variable,
    Number,
    Negation,
    Addition,
    Subtraction,
    Multiplication,
    IntDivision,
    Remainder,
    Division,
    Power,
    Call1,
    Call2,
    None,
};

// A piece of the normalised text, [begin, end).
struct Piece {
    int begin = 0;
    int end = 0;
    int size() const { return end - begin; }
    bool operator==(const Piece&) const = default;
};

// A recognised term with its operand pieces (negation and one-argument calls use left).
struct Term {
    Form form = Form::None;
    Piece left;
    Piece right;
    OpKind function = OpKind::Operand; // for calls
};

// The two texts of the last split tried while classifying the root term, for the syntax
// error message; empty while no form has written them.
struct TriedSplit {
    std::optional<Piece> left;
    std::optional<Piece> right;
};

class Recogniser {
public:
    // Pruned skips the operator occurrences that cannot be split points (inside brackets,
    // or ruled out by what the sides could be); Literal tries every occurrence as the
    // language states it. Both give the same answers; Literal exists to prove that.
    enum class Mode { Pruned, Literal };

    // text is the normalised formula; it and variables must outlive the recogniser.
    Recogniser(std::u16string_view text, const VariableTable& variables, char16_t decimalPoint,
               Mode mode = Mode::Pruned);
    ~Recogniser();
    Recogniser(const Recogniser&) = delete;
    Recogniser& operator=(const Recogniser&) = delete;

    std::u16string_view text(Piece p) const { return m_text.substr(p.begin, p.size()); }

    // A valid expression: a non-empty number, variable, term of any form, or a bracketed
    // valid expression.
    bool isValid(Piece p);
    // A number literal (the texts "PI" and "-PI" included).
    bool isNumber(Piece p) const;
    // The value of a number literal; nullopt when it lies beyond the double range.
    std::optional<double> numberValue(Piece p) const;
    // p without its enclosing brackets, as long as what they enclose is valid.
    Piece stripBrackets(Piece p);
    // The first form that fits p, with its operands (form None when no form fits). With
    // tried, every split tried writes its sides there, and every occurrence is tried
    // literally.
    Term classify(Piece p, TriedSplit* tried = nullptr);

private:
    enum Predicate : int {
        PVariable,
        PNumber,
        PBracketed,
        PNegation,
        PAddition,
        PSubtraction,
        PMultiplication,
        PIntDivision,
        PRemainder,
        PDivision,
        PPower,
        PCall1,
        PCall2,
        PValid,
        PredicateCount
    };
    // What a side of a binary form may be besides a variable, number or bracketed text.
    enum class Side { AddRight, AddLeft, SubRight, MulLeft, DivRight, PowSide };
    // Top-level character classes, for the searches and for ruling sides out.
    enum Class : int {
        CPlus,
        CMinus,
        CStar,
        CSlash,
        CCaret,
        CComma,
        CDivWord,
        CModWord,
        CHardPlus,
        CHardMinus,
        ClassCount
    };

    bool fits(Predicate pred, Piece p);
    bool compute(Predicate pred, Piece p);
    bool form(Form f, Piece p, TriedSplit* tried, Term* out);
    bool acceptable(Side side, Piece p);
    bool sideTierHolds(Side side, Piece p) const;
    bool formTierHolds(Form f, Piece p) const;

    bool variable(Piece p) const;
    bool bracketed(Piece p);
    bool negation(Piece p, TriedSplit* tried, Term* out);
    struct BinaryForm;
    static const BinaryForm& binaryForm(Form f);
    bool literalSplit(const BinaryForm& b, Piece p, TriedSplit* tried, Term* out);
    bool addition(const BinaryForm& b, Piece p, Term* out);
    bool subtraction(const BinaryForm& b, Piece p, Term* out);
    bool wordDivision(Form f, const BinaryForm& b, Piece p, Term* out);
    bool division(const BinaryForm& b, Piece p, Term* out);
    bool firstOccurrence(const BinaryForm& b, Piece p, Term* out);
    // The function name and argument text of a call "name(...)"; nullopt when p is none.
    std::optional<Piece> callArguments(Piece p, Piece* name) const;
    bool call1(Piece p, TriedSplit* tried, Term* out);
    bool call2(Piece p, TriedSplit* tried, Term* out);
    // The split of p at b's operator at q (q <= p.begin: none).
    bool splitAt(Piece p, int q, const BinaryForm& b, Term* out);
    bool accept(Side left, Piece l, Side right, Piece r, Term* out);

    // Index helpers over the precomputed tables.
    bool nested(Piece p) const;
    bool balanced(int b, int e) const { return m_depth[b] == m_depth[e]; }
    int nextTop(Class c, int k) const { return m_next[c * m_stride + k]; }
    int prevTop(Class c, int k) const { return m_prev[c * m_stride + k]; }
    static int classWidth(Class c) { return c == CDivWord || c == CModWord ? 3 : 1; }
    bool hasTop(Class c, Piece p) const; // wholly inside p
    bool hasTopAfterStart(Class c, Piece p) const;
    int lastTop(Class c, Piece p) const; // -1 when none
    int firstOpen(Piece p) const;        // -1 when none
    bool endOk(int k) const;
    bool startOk(int k) const;
    bool isWordAt(std::u16string_view word, int k) const;
    bool isSoftSign(int k) const;

    int memoGet(Piece p, Predicate pred) const;
    void memoSet(Piece p, Predicate pred, bool value);
    void memoGrow();

    std::u16string_view m_text;
    int m_n;
    const VariableTable& m_variables;
    char16_t m_point;
    Mode m_mode;
    bool m_wordsInNames; // some variable name contains "DIV" or "MOD"

    std::vector<int> m_depth;     // bracket depth before each position, [0, n]
    std::vector<int> m_dropAt;    // first later position whose depth is lower
    std::vector<int> m_firstOpen; // first "(" at or after each position
    int m_stride;
    std::vector<int> m_next; // per class: first top-level occurrence at or after k
    std::vector<int> m_prev; // per class: last top-level occurrence before k

    // Per start of a piece: the "-" found so far (up to scanFrom) after which the text
    // from that start is an acceptable left side of a subtraction.
    struct SplitPoints {
        int scanFrom = -1;
        std::vector<int> lefts;
    };
    std::vector<SplitPoints> m_subtractionLefts;

    struct Slot {
        std::uint32_t key = 0; // 0: empty
        std::uint32_t bits = 0;
    };
    std::vector<Slot> m_memo;
    std::size_t m_memoUsed = 0;
    int m_memoShift = 0; // 64 - log2(capacity)
};

} // namespace detail
} // namespace formula
