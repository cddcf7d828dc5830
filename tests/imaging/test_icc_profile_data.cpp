#include "imaging/icc_profile_data.h"

#include "platform/archive.h"

#include <gtest/gtest.h>

TEST(IccProfileData, ArchiveCountsAroundTheLimit)
{
    struct Row {
        size_t size;
        int32_t storedCount;
        bool readsBack;
    };
    const Row rows[] = {{0, 0, true}, {1, 1, true}, {0x9FFFFF, 0x9FFFFF, true}, {0xA00000, 0, false}};
    for (const Row& r : rows) {
        CIccProfileData p;
        std::vector<uint8_t> bytes(r.size, 0x5A);
        p.Set(bytes.data(), bytes.size());
        CMemFile f;
        {
            CArchive ar(&f, CArchive::store);
            p.Store(ar);
            ar << static_cast<int32_t>(77); // what follows must still be in step
        }
        ASSERT_EQ(f.GetLength(), 8 + (r.storedCount ? r.size : 0)) << r.size;
        f.SeekToBegin();
        CArchive ar(&f, CArchive::load);
        CIccProfileData back;
        back.Load(ar);
        int32_t next = 0;
        ar >> next;
        EXPECT_EQ(next, 77) << r.size;
        EXPECT_EQ(back.GetSize(), r.readsBack ? static_cast<int32_t>(r.size) : 0) << r.size;
    }
}

TEST(IccProfileData, RefusedAndShortCounts)
{
    // Count 0 is no profile and reads nothing more. A count Store never writes
    // would leave the rest of the message misread: it is damage, like a count
    // past the end of the data.
    struct Row {
        int32_t count;
        bool throws;
    };
    for (const Row& r : {Row{0, false}, Row{-1, true}, Row{0xA00000, true}, Row{0x7FFFFFFF, true}}) {
        CMemFile f;
        {
            CArchive ar(&f, CArchive::store);
            ar << r.count << static_cast<int32_t>(77);
        }
        f.SeekToBegin();
        CArchive ar(&f, CArchive::load);
        CIccProfileData p;
        if (r.throws) {
            EXPECT_THROW(p.Load(ar), CArchiveException) << r.count;
            continue;
        }
        p.Load(ar);
        EXPECT_FALSE(p.HasData());
        int32_t next = 0;
        ar >> next;
        EXPECT_EQ(next, 77);
    }
    CMemFile f;
    {
        CArchive ar(&f, CArchive::store);
        ar << static_cast<int32_t>(10) << static_cast<int32_t>(0);
    }
    f.SeekToBegin();
    CArchive ar(&f, CArchive::load);
    CIccProfileData p;
    EXPECT_THROW(p.Load(ar), CArchiveException);
}
