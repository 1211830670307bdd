// Our pictures: JPEG and GIF decoding from the program's resources, bad and truncated data,
// the image-list strips, and the animated image.
#include <gtest/gtest.h>

#include "framework/Application.h"
#include "framework/Forms.h"
#include "framework/ImageList.h"
#include "framework/Pictures.h"
#include "support/TestSupport.h"

TEST(GuiPictures, JpegResourcesDecodeToTheirSizesAndBadDataToNoPicture) {
  struct Expected {
    const char* name;
    int width, height;
  };
  for (Expected e : {Expected{"MAIN_BACKGROUND", 650, 460}, Expected{"ABOUT_BANNER_LEFT", 160, 64},
                     Expected{"ABOUT_BANNER_RIGHT", 320, 64}}) {
    TBitmap picture;
    std::string error;
    ASSERT_TRUE(DecodeJpeg(ResourceBytes(e.name), picture, &error)) << e.name << ": " << error;
    EXPECT_EQ(std::make_pair(picture.Width(), picture.Height()), std::make_pair(e.width, e.height)) << e.name;
  }
  // The background's header is blue, its body near white.
  TBitmap background;
  ASSERT_TRUE(LoadJpegResource("MAIN_BACKGROUND", background));
  COLORREF header = background.Pixel(600, 30), body = background.Pixel(300, 300);
  EXPECT_GT(GetBValue(header), GetRValue(header) + 60);
  EXPECT_GT(GetRValue(body), 200);

  // Bad or truncated data fails without a picture.
  std::string whole = ResourceBytes("MAIN_BACKGROUND");
  ASSERT_GT(whole.size(), 1000u);
  TBitmap picture(4, 4);
  std::string error;
  EXPECT_FALSE(DecodeJpeg(whole.substr(0, whole.size() / 2), picture, &error));
  EXPECT_TRUE(picture.Empty());
  EXPECT_FALSE(error.empty());
  for (const std::string& bad : {whole.substr(0, 20), std::string("not a picture at all"), std::string()})
    EXPECT_FALSE(DecodeJpeg(bad, picture));
  EXPECT_FALSE(LoadJpegResource("NO_SUCH_PICTURE", picture));
  EXPECT_TRUE(picture.Empty());
}

TEST(GuiPictures, ImageListStripsLoadFromResources) {
  struct Strip {
    const char* name;
    int width, height, count;
  };
  for (Strip s : {Strip{"PopupImageList", 16, 16, 2}, Strip{"ScanImageList", 136, 33, 8}, Strip{"ExBtnImageList", 53, 22, 6},
                  Strip{"BackupImageList", 136, 33, 6}, Strip{"StatImageList", 16, 16, 13},
                  Strip{"ProblemsImageList", 16, 70, 2}, Strip{"MinCloseImageList", 21, 11, 4},
                  Strip{"MainImageList", 136, 33, 6}, Strip{"BackupStatImageList", 16, 56, 1},
                  Strip{"LelvelImageList", 36, 12, 3}, Strip{"AboutImageList", 153, 60, 2},
                  Strip{"BackupTabImageList", 107, 31, 4}, Strip{"TOOLICONS", 32, 32, 12}}) {
    TImageList list(s.width, s.height);
    EXPECT_EQ(list.AddStrip(s.name), s.count) << s.name;
  }
  TImageList wrongHeight(16, 20);
  EXPECT_EQ(wrongHeight.AddStrip("StatImageList") + wrongHeight.AddStrip("NO_SUCH_STRIP"), 0);

  // A button image: its rounded corner is transparent, its middle is not.
  TImageList buttons(136, 33);
  buttons.AddStrip("ScanImageList");
  TBitmap picture;
  buttons.GetBitmap(1, picture);
  EXPECT_EQ(picture.Pixel(0, 0), clFuchsia);
  EXPECT_NE(picture.Pixel(5, 16), clFuchsia);
}

TEST(GuiPictures, TheAnimatedGifPlaysItsFramesRoundAndRoundUntilStoppedAndBadDataFails) {
  struct TBox : TForm {
    TBox() : TForm({}) { DoCreate(); }
  };
  TFormPtr<TBox> form(new TBox);
  auto* image = new TAnimatedImage(form.get());
  image->AutoSize = true;
  TGifImage gif;
  ASSERT_TRUE(gif.LoadFromResource("UPDATE_ANIMATION"));
  ASSERT_EQ(gif.FrameCount(), 8);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(gif.Delay(i), 100) << i;
  EXPECT_EQ(gif.Height() * 10 + gif.LoopCount(), 800) << "80 high, looping for ever";
  EXPECT_NE(gif.Frame(0).Pixel(300, 18), gif.Frame(2).Pixel(300, 18)) << "the bright dot moves";
  image->SetAnimation(std::move(gif));
  EXPECT_EQ(image->Width(), 350);
  image->Play();
  EXPECT_EQ(image->FrameDelay(), 100);
  image->Advance();   // as the timer does
  image->Advance();
  EXPECT_EQ(image->FrameIndex(), 2);
  for (int i = 2; i < 8; ++i) image->Advance();
  EXPECT_EQ(image->FrameIndex(), 0);
  EXPECT_TRUE(image->Playing()) << "round and round";
  image->Stop();
  EXPECT_FALSE(image->Playing());

  // Bad or truncated data fails.
  std::string whole = ResourceBytes("UPDATE_ANIMATION");
  TGifImage bad;
  std::string error;
  EXPECT_FALSE(bad.LoadFromBytes(whole.substr(0, whole.size() - 300), &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(bad.LoadFromBytes(whole.substr(0, 10)) || bad.LoadFromBytes("GIF89a garbage"));
  EXPECT_EQ(bad.FrameCount(), 0);
}
