#include "display/TaggedFileName.h"

#include <gtest/gtest.h>

TEST(TaggedFileName, FolderBaseTagSuffix) {
    EXPECT_EQ(taggedFileName("/data/run/pic.png", "cBar"), "/data/run/pic-cBar.png");
    EXPECT_EQ(taggedFileName("pic.png", "3"), "pic-3.png"); // relative stays relative
    EXPECT_EQ(taggedFileName("/d/a.tar.gz", "T"), "/d/a.tar-T.gz");
    EXPECT_EQ(taggedFileName("/d.x/name", "T"), "/d.x/name-T"); // dot in the folder only
    EXPECT_EQ(taggedFileName("C:\\data\\m.tif", "2"), "C:\\data\\m-2.tif");
}

TEST(TaggedFileName, DefaultSuffixOnlyWhenTheNameHasNone) {
    EXPECT_EQ(taggedFileName("/d/spec", "T", "dat"), "/d/spec-T.dat");
    EXPECT_EQ(taggedFileName("/d/spec.txt", "T", "dat"), "/d/spec-T.txt");
    EXPECT_EQ(fileNameWithDefaultSuffix("/d/spec", "dat"), "/d/spec.dat");
    EXPECT_EQ(fileNameWithDefaultSuffix("/d/spec.txt", "dat"), "/d/spec.txt");
}

TEST(TaggedFileName, ReplacedSuffixAndNestedTags) {
    EXPECT_EQ(taggedFileNameWithSuffix("/d/name.txt", "2", "dat"), "/d/name-2.dat");
    // A colour bar beside numbered TIFF data is tagged twice: base-n--cBar.
    const QString data = taggedFileName("/d/map.tif", "0");
    EXPECT_EQ(taggedFileName(data, "-cBar"), "/d/map-0--cBar.tif");
}
