// COM object creation, reference counting and the ANSI to wide conversion of
// media file names.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/core/Com.h"
#include "platform/core/WideText.h"
#include "platform/music/DirectMusic.h"
#include "platform/music/DirectShow.h"
#include "support/stand-ins/TestSeam.h"

namespace {

class ComTest : public ::testing::Test {
protected:
    void SetUp() override {
        seam::Reset();
        seam::StartRecording();
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
    }
    void TearDown() override { CoUninitialize(); }

    // The reference counts left as the filter graph reported its releases.
    static std::vector<std::string> GraphReleases() {
        std::vector<std::string> left;
        for (const auto& call : seam::Calls())
            if (call.name == "FilterGraph::Release") left.push_back(call.args);
        return left;
    }
};

TEST_F(ComTest, TheMediaClassesAreMadeWithTheirInterfaces) {
    struct Case {
        const GUID& clsid;
        DWORD context;
        const GUID& iid;
    } cases[] = {
        {CLSID_FilterGraph, CLSCTX_INPROC_SERVER, IID_IGraphBuilder},
        {CLSID_FilterGraph, CLSCTX_INPROC_SERVER, IID_IMediaControl},
        {CLSID_FilterGraph, CLSCTX_INPROC_SERVER, IID_IMediaEventEx},
        {CLSID_DirectMusicPerformance, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER, IID_IDirectMusicPerformance2},
        {CLSID_DirectMusicLoader, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER, IID_IDirectMusicLoader},
    };
    for (const Case& c : cases) {
        IUnknown* object = nullptr;
        ASSERT_EQ(CoCreateInstance(c.clsid, nullptr, c.context, c.iid, reinterpret_cast<void**>(&object)), S_OK);
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(object->Release(), 0u);
    }
}

TEST_F(ComTest, CreationFailsWithTheUsualResults) {
    const GUID unknown = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(CoCreateInstance(unknown, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, &object),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(
        CoCreateInstance(CLSID_DirectMusicSegment, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectMusicSegment2, &object),
        REGDB_E_CLASSNOTREG)
        << "segments come from the loader";
    EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_HANDLER, IID_IGraphBuilder, &object),
              REGDB_E_CLASSNOTREG)
        << "there is no handler of its own";
    EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectMusicLoader, &object),
              E_NOINTERFACE);
    EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, reinterpret_cast<IUnknown*>(&object), CLSCTX_INPROC_SERVER,
                               IID_IGraphBuilder, &object),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
    CoUninitialize();
    EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, &object),
              CO_E_NOTINITIALIZED);
    CoInitialize(nullptr);
}

TEST_F(ComTest, AGraphsInterfacesShareOneObjectThatGoesWithTheLastReference) {
    IGraphBuilder* graph = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                               reinterpret_cast<void**>(&graph)),
              S_OK);
    IMediaControl* control = nullptr;
    IMediaEventEx* events = nullptr;
    ASSERT_EQ(graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control)), S_OK);
    ASSERT_EQ(graph->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(&events)), S_OK);
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(graph->QueryInterface(IID_IDirectMusicLoader, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);

    // Released after COM has stopped, as the global audio object's tracks are at exit.
    CoUninitialize();
    EXPECT_EQ(graph->Release(), 2u);
    EXPECT_EQ(control->Stop(), S_OK) << "still usable through its other interfaces";
    EXPECT_EQ(control->Release(), 1u);
    EXPECT_EQ(events->Release(), 0u);
    EXPECT_EQ(GraphReleases(), (std::vector<std::string>{"2", "1", "0"}));
    CoInitialize(nullptr);
}

TEST_F(ComTest, CreationCanBeArmedToFailForOneClass) {
    seam::ArmFailure("CoCreateInstance DirectMusicLoader", E_FAIL);
    void* object = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_DirectMusicPerformance, nullptr, 3, IID_IDirectMusicPerformance2, &object), S_OK);
    static_cast<IUnknown*>(object)->Release();
    EXPECT_EQ(CoCreateInstance(CLSID_DirectMusicLoader, nullptr, 3, IID_IDirectMusicLoader, &object), E_FAIL);
    EXPECT_EQ(CoCreateInstance(CLSID_DirectMusicLoader, nullptr, 3, IID_IDirectMusicLoader, &object), S_OK);
    static_cast<IUnknown*>(object)->Release();
}

TEST(WideText, NamesConvertToUtf16AndBack) {
    WCHAR wide[260];
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "Test.mp3", -1, wide, 260), 9) << "the terminator counts";
    EXPECT_EQ(std::u16string(wide), u"Test.mp3");
    // Two-, three- and four-byte sequences; the last becomes a surrogate pair.
    const char* name = "M\xC3\xBCsik \xE2\x99\xAA \xF0\x9F\x8E\xB5.mp3";
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, name, -1, wide, 260), 15);
    EXPECT_EQ(std::u16string(wide), u"Müsik ♪ \U0001F3B5.mp3");
    EXPECT_EQ(NarrowText(wide), name);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 2, wide, 260), 2) << "a counted text has no terminator";
    EXPECT_EQ(wide[0], u'a');
    EXPECT_EQ(wide[1], u'b');
}

TEST(WideText, BytesThatAreNotUtf8BecomeReplacementCharacters) {
    WCHAR wide[16];
    // A lone continuation byte, a cut-short sequence, an overlong slash, an encoded surrogate.
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0,
                                  "a\x80"
                                  "b\xE2\x99"
                                  "c\xC0\xAF"
                                  "d\xED\xA0\x80",
                                  -1, wide, 16),
              13);
    EXPECT_EQ(std::u16string(wide), u"a\uFFFDb\uFFFD\uFFFDc\uFFFD\uFFFDd\uFFFD\uFFFD\uFFFD");
    const WCHAR lone[] = {u'x', 0xD800, u'y', 0};
    EXPECT_EQ(NarrowText(lone), "x\xEF\xBF\xBDy");
}

TEST(WideText, ABufferTooSmallGetsNothing) {
    WCHAR wide[4] = {u'k', u'e', u'e', u'p'};
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "Test", -1, wide, 4), 0);
    EXPECT_EQ(std::u16string(wide, 4), u"keep");
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "Test", -1, nullptr, 0), 5) << "the size needed";
    EXPECT_EQ(MultiByteToWideChar(65001, 0, "Test", -1, wide, 4), 0) << "only the ANSI code page";
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0x8, "Test", -1, wide, 4), 0) << "no other flags";
}

}  // namespace
