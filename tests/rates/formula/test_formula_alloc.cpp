// Reading Value walks the compiled list without allocating: this binary replaces the
// global allocation functions and counts the calls around repeated reads.
#include "rates/formula/mathparser.h"

#include <atomic>
#include <cstdlib>
#include <gtest/gtest.h>
#include <new>
#include <vector>

namespace {
std::atomic<long> g_allocations{0};
std::atomic<bool> g_counting{false};

void* allocate(std::size_t size)
{
    if (g_counting.load(std::memory_order_relaxed))
        g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void* allocateAligned(std::size_t size, std::align_val_t align)
{
    if (g_counting.load(std::memory_order_relaxed))
        g_allocations.fetch_add(1, std::memory_order_relaxed);
    const std::size_t a = static_cast<std::size_t>(align);
    if (void* p = std::aligned_alloc(a, (size + a - 1) / a * a))
        return p;
    throw std::bad_alloc();
}
} // namespace

void* operator new(std::size_t size)
{
    return allocate(size);
}
void* operator new[](std::size_t size)
{
    return allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept
{
    return operator new(size, tag);
}
void* operator new(std::size_t size, std::align_val_t align)
{
    return allocateAligned(size, align);
}
void* operator new[](std::size_t size, std::align_val_t align)
{
    return allocateAligned(size, align);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept
{
    std::free(p);
}

namespace {

// Counts the allocations made while f runs.
template <typename F> long allocationsDuring(F&& f)
{
    g_allocations = 0;
    g_counting = true;
    f();
    g_counting = false;
    return g_allocations;
}

TEST(ValueAllocation, TheCounterSeesAllocations)
{
    EXPECT_GT(allocationsDuring([] { std::vector<int> v(100); }), 0);
    EXPECT_GT(allocationsDuring([] {
                  formula::MathParser parser;
                  parser.setExpression(QStringLiteral("1+2"));
              }),
              0);
}

class ValueAllocationTest : public testing::TestWithParam<const char16_t*> {};

TEST_P(ValueAllocationTest, RepeatedReadsDoNotAllocate)
{
    formula::MathParser parser;
    double& value = parser.AssignVariable(u"value", 1.0);
    parser.setRandomSeed(1);
    parser.setExpression(QString::fromUtf16(GetParam()));
    double sum = 0;
    const long count = allocationsDuring([&] {
        for (int i = 0; i < 10000; ++i) {
            value = 0.5 + (i % 100) * 0.37;
            sum += parser.Value();
        }
    });
    EXPECT_EQ(count, 0) << QString::fromUtf16(GetParam()).toStdString();
    EXPECT_NE(sum, 0.0);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ValueAllocationTest,
    testing::Values(u"CEIL(VALUE/5)*5", u"CEIL(INT(VALUE*10)/10)",
                    u"MAX(CEIL(VALUE/5)*5,VALUE^2/100)", u"VALUE", u"2.5",
                    u"SIN(VALUE)+COS(VALUE)+TAN(VALUE)+ARCTAN(VALUE)+SINH(VALUE)+COSH(VALUE)",
                    u"EXP(VALUE)+LN(VALUE)+LOG10(VALUE)+LOG2(VALUE)+SQR(VALUE)+SQRT(VALUE)",
                    u"ABS(-VALUE)+TRUNC(VALUE)+FLOOR(VALUE)+HEAV(VALUE)+SIGN(VALUE)+ZERO(VALUE)",
                    u"PH(VALUE)+RND(VALUE)+RANDOM(VALUE)+COTAN(VALUE)",
                    u"MIN(VALUE,2)+POWER(VALUE,1.5)+INTPOWER(VALUE,3)+LOGN(2,VALUE)+ARG(VALUE,1)",
                    u"VALUE^3+VALUE^4+VALUE^7+VALUE^0.5+(VALUE*1000)DIV7+(VALUE*1000)MOD7"));

} // namespace
