# The open, save-as and copy commands on icon files and bitmaps (sourced by
# tests/e2e/commands.sh, whose helpers and files it uses).

# ---- a fresh start: a bitmap becomes an icon of its own size and depth
expect "open: cancelling the dialog changes nothing" \
  "$(lines "$OPEN" "$EMPTY" "$OFF" "preview icon=0")" open Pixelkite --cancel
expect "open: a bitmap after start-up is listed under its path" \
  "$(lines "$OPEN" "$(one "$(f small.bmp)")" "$ON" "preview icon=1")" open Pixelkite "$(f small.bmp)"
expect "save as: the bitmap's icon" "$(lines "$SAVE" "$(one "$(f small.bmp)")" "$ON" "preview icon=1")" \
  save Pixelkite "$(f small.ico)"
pixelkite_cli convert "$files/small.bmp" --size 40x30 --bits 24 -o "$ref/small.ico" >/dev/null
check "save as: a bitmap opened at start-up is one 40x30 24-bit image" cmp "$files/small.ico" "$ref/small.ico"

# ---- no record after a failed read: a bitmap over 256 pixels is fitted
expect "open: a missing .ico typed by name" \
  "$(lines "$OPEN" "box caption=$(f missing.ico) text=图标文件打开时出错!" "$NO_ICONS" "$EMPTY" "$OFF" "preview icon=0")" \
  open Pixelkite "$(f missing.ico)"
expect "open: a bitmap the reader refuses gives no icon" \
  "$(lines "$OPEN" "box caption=$(f two-bit.bmp) text=每像素2位或64位的位图不支持!" "$NO_ICONS" "$EMPTY" "$OFF" "preview icon=0")" \
  open Pixelkite "$(f two-bit.bmp)"
expect "open: a 600x300 bitmap without a record" "$(lines "$OPEN" "$(one "$(f big.bmp)")" "$ON" "preview icon=1")" \
  open Pixelkite "$(f big.bmp)"
expect "save as: the fitted bitmap" "$(lines "$SAVE" "$(one "$(f big.bmp)")" "$ON" "preview icon=1")" \
  save Pixelkite "$(f big.ico)"
pixelkite_cli convert "$files/big.bmp" --size 256x128 --bits 8 -o "$ref/big.ico" >/dev/null
check "save as: the 600x300 bitmap became 256x128 at 8 bits" cmp "$files/big.ico" "$ref/big.ico"

# ---- an icon with a 32x32 4-bit first image, then a bitmap replaces that image
expect "open: an icon file is listed under its full path" \
  "$(lines "$OPEN" "$(one "$(f four.ico)")" "$ON" "preview icon=1")" open Pixelkite "$(f four.ico)"
expect "open: the preview is the shell's icon of the file" "" icon Pixelkite "$(f four.ico)"
expect "open: a bitmap the reader refuses leaves the first image, which is still listed" \
  "$(lines "$OPEN" "box caption=$(f os2.bmp) text=OS/2风格的位图不支持!" "$(one "$(f os2.bmp)")" "$ON" "preview icon=1")" \
  open Pixelkite "$(f os2.bmp)"
expect "save as: the icon as it was" "$(lines "$SAVE" "$(one "$(f os2.bmp)")" "$ON" "preview icon=1")" \
  save Pixelkite "$(f four-again.ico)"
pixelkite_cli extract "$files/four.ico" -o "$ref/four.ico" >/dev/null
check "save as: every image unchanged" cmp "$files/four-again.ico" "$ref/four.ico"
expect "open: an upper-case .BMP after it" "$(lines "$OPEN" "$(one "$(f photo.BMP)")" "$ON" "preview icon=1")" \
  open Pixelkite "$(f photo.BMP)"
expect "save as: the icon with its first image replaced" \
  "$(lines "$SAVE" "$(one "$(f photo.BMP)")" "$ON" "preview icon=1")" save Pixelkite "$(f four-photo.ico)"
pixelkite_cli convert "$files/photo.BMP" --size 32x32 --bits 4 -o "$ref/photo-32x4.ico" >/dev/null
check "save as: all three images written" test "$(python3 "$root/tests/e2e/files.py" count "$files/four-photo.ico")" = 3
check "save as: the first is the bitmap at 32x32, 4 bits" same_image "$files/four-photo.ico" 0 "$ref/photo-32x4.ico" 0
check "save as: the second and third are the icon's own" \
  eval 'same_image "$files/four-photo.ico" 1 "$files/four.ico" 1 && same_image "$files/four-photo.ico" 2 "$files/four.ico" 2'
expect "save as: an upper-case .BMP name writes a bitmap" \
  "$(lines "$SAVE" "$(one "$(f photo.BMP)")" "$ON" "preview icon=1")" save Pixelkite "$(f four-photo.BMP)"
pixelkite_cli extract "$files/four-photo.ico" -o "$ref/four-photo.bmp" >/dev/null
check "save as: the bitmap is the first image's picture" cmp "$files/four-photo.BMP" "$ref/four-photo.bmp"
expect "save as: cancelling writes nothing and shows nothing" \
  "$(lines "$SAVE" "$(one "$(f photo.BMP)")" "$ON" "preview icon=1")" save Pixelkite --cancel
expect "save as: a .png name writes nothing and says why" \
  "$(lines "$SAVE" "box caption=错误 text=只能保存为图标(ICO)或位图(BMP)文件!" "$(one "$(f photo.BMP)")" "$ON" "preview icon=1")" \
  save Pixelkite "$(f picture.png)"
check "save as: no .png file" absent "$files/picture.png"

# ---- icon files whatever the case of .ico, in a GBK folder
expect "open: .Ico in a Chinese folder" "$(lines "$OPEN" "$(one "$(f 中文目录/图标.Ico)")" "$ON" "preview icon=1")" \
  open Pixelkite "$(f 中文目录/图标.Ico)"
expect "open: its preview" "" icon Pixelkite "$(f 中文目录/图标.Ico)"
expect "open: .ICO" "$(lines "$OPEN" "$(one "$(f UPPER.ICO)")" "$ON" "preview icon=1")" open Pixelkite "$(f UPPER.ICO)"
expect "save as: the icon file again" "$(lines "$SAVE" "$(one "$(f UPPER.ICO)")" "$ON" "preview icon=1")" \
  save Pixelkite "$(f 中文目录/副本.ico)"
pixelkite_cli extract "$files/UPPER.ICO" -o "$ref/upper.ico" >/dev/null
check "save as: every image of the icon file, under a Chinese name" cmp "$files/中文目录/副本.ico" "$ref/upper.ico"

# ---- refused by the reader, shown by the shell: listed, but nothing to save or copy
expect "open: an .ico the reader refuses and the shell shows" \
  "$(lines "$OPEN" "box caption=$(f short-mask.ico) text=图标内部格式转换出错!" "$(one "$(f short-mask.ico)")" "$ON" "preview icon=1")" \
  open Pixelkite "$(f short-mask.ico)"
expect "save as: nothing to save without a record" \
  "$(lines "$SAVE" "$NOTHING_TO_SAVE" "$(one "$(f short-mask.ico)")" "$ON" "preview icon=1")" \
  save Pixelkite "$(f refused.ico)"
check "save as: nothing written" absent "$files/refused.ico"
expect "copy: nothing to copy without a record" \
  "$(lines "$NOTHING_TO_COPY" "clipboard none" "$(one "$(f short-mask.ico)")" "$ON" "preview icon=1")" \
  copy Pixelkite --held "$(winpath "$work/none.dib")"
