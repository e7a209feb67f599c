// The save options form played by the scripted user.
#include "save/options_form.h"

#include <gtest/gtest.h>

#include "icon_builders.h"
#include "platform/scripted.h"
#include "save_helpers.h"

using namespace icofmt;
using namespace icofmt::save;
using namespace savetest;
using Action = platform::scripted::UserAction;
namespace controls = options_controls;

namespace {

Bytes threeImages() {
  std::vector<icotest::EntrySpec> entries;
  for (auto [side, bits] : {std::pair{16, 4}, {32, 8}, {48, 32}}) {
    icotest::EntrySpec e;
    e.block = icotest::bitmapBlock({.width = side, .height = side, .bitCount = static_cast<uint16_t>(bits)});
    entries.push_back(e);
  }
  return icotest::iconFile(entries);
}

// One run of the form: what it showed when the script ran out, and what it gave.
struct FormRun {
  OptionsAnswer answer = OptionsAnswer::Cancelled;
  int32_t proposed = 0;
  SaveChoices choices;
  Bytes destination;
  platform::Form seen;
};

FormRun show(const OptionsInput& input, int32_t proposed, Bytes destination, std::vector<Action> actions,
             bool confirm = true, std::vector<platform::MessageAnswer> answers = {},
             std::vector<int32_t> sizesBefore = {}) {
  platform::scripted::reset();
  platform::scripted::setUserActions(std::move(actions));
  platform::scripted::setConfirmUnscripted(confirm);
  platform::scripted::setMessageAnswers(std::move(answers));
  FormRun run;
  platform::scripted::setInspector([&](platform::Form& f) { run.seen = f; });
  run.destination = std::move(destination);
  run.proposed = proposed;
  Bytes assembly;
  run.choices.depth = -1;
  run.choices.smallerSizes = std::move(sizesBefore);
  run.answer = ShowOptions(input, run.proposed, run.destination, assembly, run.choices);
  return run;
}

const platform::Control& in(const FormRun& run, const char* name) {
  for (const auto& c : run.seen.controls)
    if (c.name == name) return c;
  throw std::logic_error(name);
}

}  // namespace

TEST(OptionsForm, PreselectsTheProposedDepthAndPngFor256Squares) {
  struct Case {
    int w, h, mode, proposed, item;
    bool png;
    const char* format;
  };
  for (const Case& c :
       {Case{256, 256, 3, 32, 5, true, "256x256x32bpp"}, Case{48, 48, 3, 32, 5, false, "48x48x32bpp"},
        Case{256, 256, 0, 1, 1, false, "256x256x1bpp"}, Case{256, 256, 2, 4, 2, true, "256x256x4bpp"},
        Case{20, 10, 1, 8, 3, false, "20x10x8bpp"}, Case{16, 16, 1, 0, 3, false, "16x16x0bpp"}}) {
    SCOPED_TRACE(c.format);
    const FormRun run = show({"C:\\icons\\a.ico", c.w, c.h, c.mode}, c.proposed, {}, {});
    ASSERT_EQ(run.answer, OptionsAnswer::Ok);
    EXPECT_EQ(in(run, controls::kDepth).itemIndex, c.item);
    EXPECT_EQ(in(run, controls::kPngCompression).checked, c.png);
    EXPECT_EQ(in(run, controls::kFormat).caption, c.format);
    EXPECT_EQ(in(run, "Label4").caption, "C:\\icons\\a.ico");
    EXPECT_EQ(run.choices.depth, depthOfItem(c.item));
    EXPECT_EQ(run.choices.pngCompression, c.png);
    EXPECT_EQ(run.choices.mergeMode, kMergeReplaceExact);
    EXPECT_EQ(run.seen.height, kOptionsHeightCompact);
  }
}

TEST(OptionsForm, AutoNeverStaysSelectedAndNoSelectionMeansAutomatic) {
  FormRun run = show({"a.ico", 32, 32, 2}, 8, {}, {{Action::Kind::Select, controls::kDepth, 0}});
  EXPECT_EQ(in(run, controls::kDepth).itemIndex, 3);
  EXPECT_EQ(run.choices.depth, 8);
  run = show(
      {"a.ico", 32, 32, 2}, 8, {},
      {{Action::Kind::Select, controls::kDepth, 4}, {Action::Kind::Uncheck, controls::kReplaceExact, -1}});
  EXPECT_EQ(in(run, controls::kFormat).caption, "32x32x24bpp");
  EXPECT_EQ(run.choices.depth, 24);
  EXPECT_EQ(run.choices.mergeMode, kMergeAdd);
  run = show({"a.ico", 32, 32, 3}, 0, {}, {{Action::Kind::Select, controls::kDepth, 0}});
  EXPECT_EQ(in(run, controls::kDepth).itemIndex, 5);
  run = show({"a.ico", 32, 32, 3}, 0, {}, {});
  EXPECT_EQ(in(run, controls::kDepth).itemIndex, -1);
  EXPECT_EQ(run.choices.depth, 0);
}

TEST(OptionsForm, SmallerSizesOfferSidesBelowThePictureAndKeepTheChoice) {
  struct Case {
    int w, h;
    std::vector<int32_t> before, ticked, shownTicked, after;
    bool ok;
  };
  for (const Case& c : {
           // 48 and up are disabled: ticking 48 does nothing.
           Case{48, 48, {}, {16, 32, 48}, {16, 32}, {16, 32}, true},
           // The shape's longer side counts; 128 stays chosen for a larger picture.
           Case{64, 20, {16, 128}, {24}, {16, 24}, {16, 24, 128}, true},
           // Cancel changes nothing.
           Case{256, 256, {32}, {64}, {32, 64}, {32}, false},
       }) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
    std::vector<Action> actions;
    for (int32_t side : c.ticked) actions.push_back({Action::Kind::Check, smallerSizeControl(side), -1});
    if (!c.ok) actions.push_back({Action::Kind::Escape, "", -1});
    const FormRun run = show({"a.ico", c.w, c.h, 3}, 32, threeImages(), actions, true, {}, c.before);
    EXPECT_EQ(run.answer == OptionsAnswer::Ok, c.ok);
    std::vector<int32_t> shown;
    for (int32_t side : kSmallerSizes) {
      const platform::Control& box = in(run, smallerSizeControl(side).c_str());
      EXPECT_EQ(box.enabled, side < std::max(c.w, c.h)) << side;
      if (box.checked) shown.push_back(side);
    }
    EXPECT_EQ(shown, c.shownTicked);
    EXPECT_EQ(run.choices.smallerSizes, c.after);
  }
}

TEST(OptionsForm, DeletionsCountOnCancelAndTheLastImageAlwaysStays) {
  const Bytes three = threeImages();
  // Delete the first image, then cancel.
  FormRun run =
      show({"a.ico", 32, 32, 3}, 32, three,
           {{Action::Kind::CheckItem, controls::kImageList, 0}, {Action::Kind::Click, controls::kDelete, -1}},
           false);
  EXPECT_EQ(run.answer, OptionsAnswer::Cancelled);
  EXPECT_EQ(formatsOf(run.destination), (std::vector<Format>{{32, 32, 8}, {48, 48, 32}}));
  ASSERT_EQ(platform::scripted::messageBoxes().size(), 1u);
  EXPECT_EQ(platform::scripted::messageBoxes()[0].text, "Do you really want to delete checked images?");
  EXPECT_EQ(platform::scripted::messageBoxes()[0].buttons, platform::MessageButtons::YesNo);
  EXPECT_EQ(platform::scripted::messageBoxes()[0].icon, platform::MessageIcon::Question);
  EXPECT_EQ(in(run, controls::kImageCount).caption, "2 subicons in destination file");
  EXPECT_EQ(in(run, controls::kImageList).items.size(), 2u);

  // Every image checked: all but the last go, and Delete is then disabled.
  run = show({"a.ico", 32, 32, 3}, 32, three,
             {{Action::Kind::CheckItem, controls::kImageList, 0},
              {Action::Kind::CheckItem, controls::kImageList, 1},
              {Action::Kind::CheckItem, controls::kImageList, 2},
              {Action::Kind::Click, controls::kDelete, -1}});
  EXPECT_EQ(run.answer, OptionsAnswer::Ok);
  EXPECT_EQ(formatsOf(run.destination), (std::vector<Format>{{48, 48, 32}}));
  EXPECT_FALSE(in(run, controls::kDelete).enabled);

  // Answering No deletes nothing; cancelling then writes the destination unchanged.
  run =
      show({"a.ico", 32, 32, 3}, 32, three,
           {{Action::Kind::CheckItem, controls::kImageList, 1}, {Action::Kind::Click, controls::kDelete, -1}},
           false, {platform::MessageAnswer::No});
  EXPECT_EQ(run.destination, three);
  EXPECT_EQ(run.answer, OptionsAnswer::Cancelled);
}

TEST(OptionsForm, EmptyDestinationListsNothingAndCancelIsAnError) {
  const FormRun run = show({"new.ico", 32, 32, 3}, 32, {}, {}, false);
  EXPECT_EQ(run.answer, OptionsAnswer::CancelledNewFile);
  EXPECT_EQ(in(run, controls::kImageCount).caption, "0 subicons in destination file");
  EXPECT_FALSE(in(run, controls::kDelete).enabled);
  EXPECT_TRUE(in(run, controls::kPreview).picture.empty());
  EXPECT_TRUE(in(run, controls::kImageList).items.empty());
}

TEST(OptionsForm, ListsAndPreviewsTheDestinationAndSwitchesLayout) {
  // A 32-bit image with transparent corners shows the face colour there.
  std::vector<icotest::EntrySpec> entries(2);
  entries[0].block = icotest::bitmapBlock({.width = 16, .height = 16, .bitCount = 4});
  const Source s = rgbSource(24, 24, [](int x, int y) { return x < 2 && y < 2 ? 0u : 0x204080FFu; });
  Bytes icon;
  {
    TAdvancedIcon built;
    TBitmap copy = s.bitmap;
    built.Images().AddFromBitmap(copy, &s.mask, 0);
    TMemoryStream out;
    built.SaveToStream(out);
    icon = out.Bytes();
  }
  entries[1].block = rawBlocks(icon)[0];
  const FormRun run =
      show({"a.ico", 32, 32, 3}, 32, icotest::iconFile(entries),
           {{Action::Kind::Click, controls::kAdvanced, -1}, {Action::Kind::Select, controls::kImageList, 1}});
  EXPECT_EQ(in(run, controls::kImageList).items,
            (std::vector<std::string>{"16x16, 16 colors", "24x24, 32 bpp"}));
  EXPECT_EQ(in(run, controls::kImageCount).caption, "2 subicons in destination file");
  EXPECT_TRUE(in(run, controls::kDelete).enabled);
  EXPECT_EQ(run.seen.height, kOptionsHeightExpanded);
  EXPECT_EQ(in(run, controls::kOk).top, 212);
  EXPECT_EQ(in(run, controls::kAbout).top, 211);
  EXPECT_EQ(in(run, "Label10").caption, "Also save smaller sizes :");
  EXPECT_EQ(in(run, smallerSizeControl(128).c_str()).caption, "128x128");
  EXPECT_EQ(run.seen.frames, (std::vector<platform::Rect>{{7, 103, 137, 233}}));
  const platform::Picture& p = in(run, controls::kPreview).picture;
  ASSERT_EQ(p.width, 24);
  ASSERT_EQ(p.height, 24);
  const uint32_t face = platform::faceColour();
  EXPECT_EQ(p.bgr[0], (face >> 16) & 0xFF);
  EXPECT_EQ(p.bgr[2], face & 0xFF);
  const size_t opaque = (5 * 24 + 5) * 3;
  EXPECT_EQ(p.bgr[opaque], 0x80);
  EXPECT_EQ(p.bgr[opaque + 1], 0x40);
  EXPECT_EQ(p.bgr[opaque + 2], 0x20);
}
