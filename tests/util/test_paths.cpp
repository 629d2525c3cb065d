#include <gtest/gtest.h>

#include "util/paths.hpp"

namespace zorvel::util {
namespace {

struct NameCase {
    const char* name;
    const char* ext;
    const char* filename;
    const char* filenamepath;
    const char* folder;
    const char* suffix;
    const char* no_;
    const char* path_no_;
};

const NameCase kNames[] = {
    {"C:\\runs\\M01_5m_h.dat", ".dat", "M01_5m_h", "C:\\runs\\M01_5m_h", "C:\\runs\\", "_h", "M01_5m", "C:\\runs\\M01_5m"},
    {"run.XMDF", ".xmdf", "run", "run", "", "", "run", "run"},
    {"d:/a.b/c", "", "c", "d:/a.b/c", "d:/a.b/", "", "c", "d:/a.b/c"},
    {"x\\.hidden", ".hidden", ".hidden", "x\\", "x\\", "", ".hidden", "x\\"},
    {"_h.dat", ".dat", "_h", "_h", "", "_h", "", "_h"},
    {".dat", ".dat", "", ".dat", "", "", "", ".dat"},
    {"dir\\run", "", "run", "dir\\run", "dir\\", "", "run", "dir\\run"},
    {"", "", "", "", "", "", "", ""},
    {"C:\\my.dir\\file", "", "file", "C:\\my.dir\\file", "C:\\my.dir\\", "", "file", "C:\\my.dir\\file"},
};

TEST(Paths, NamesTakenApart) {
    for (const NameCase& c : kNames) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FILEEXT(c.name), c.ext);
        EXPECT_EQ(FILENAME(c.name), c.filename);
        EXPECT_EQ(FILENAMEPATH(c.name), c.filenamepath);
        EXPECT_EQ(FILEFOLDERPATH(c.name), c.folder);
        EXPECT_EQ(FILE___EXT(c.name), c.suffix);
        EXPECT_EQ(FILENAMENO_(c.name), c.no_);
        EXPECT_EQ(FILENAMEPATHNO_(c.name), c.path_no_);
    }
    EXPECT_EQ(FILE___EXT("C:\\long\\folder\\run_d.dat"), FILE___EXT("run_d.dat"));
    EXPECT_EQ(FILEEXTKC("run.XMDF"), ".XMDF");
    EXPECT_EQ(FILENAMEEXT("a/b\\c.dat"), "c.dat");
}

TEST(Paths, CleanJoinNormalise) {
    std::string n = "  C:\\\\data//x.dat";
    EXPECT_EQ(CLEANPATH(n), "C:\\data/x.dat");
    EXPECT_EQ(n, "C:\\data/x.dat");
    n = "\\\\server\\\\share\\x";
    EXPECT_EQ(CLEANPATH(n), "\\\\server\\\\share\\x");
    EXPECT_EQ(ADDFOLDER("C:\\mirror", "run.dat"), "C:\\mirror\\run.dat");
    EXPECT_EQ(ADDFOLDER("C:\\mirror\\", "run.dat"), "C:\\mirror\\run.dat");
    EXPECT_EQ(ADDFOLDER("C:\\mirror", "D:\\x.dat"), "D:\\x.dat");
    EXPECT_EQ(ADDFOLDER("  ", "  "), ".");
    EXPECT_EQ(ADDFOLDER("a\\b", "..\\c.dat"), "a\\c.dat");
    EXPECT_EQ(REMOVEDOTDOT("C:\\a\\.\\b"), "C:\\a\\b");
    EXPECT_EQ(REMOVEDOTDOT("..\\..\\x"), "..\\..\\x");
    EXPECT_EQ(REMOVEDOTDOT("..\\..\\a\\..\\x"), "..\\..\\x");
    std::string p = "c:\\data\\x.dat";
    EXPECT_FALSE(DRIVEFOLDER(p));
    EXPECT_EQ(p, "C Drive\\data\\x.dat");
    p = "\\\\srv\\share\\x";
    EXPECT_FALSE(DRIVEFOLDER(p));
    EXPECT_EQ(p, "URL\\srv\\share\\x");
    p = "rel\\x";
    EXPECT_TRUE(DRIVEFOLDER(p));
}

}  // namespace
}  // namespace zorvel::util
