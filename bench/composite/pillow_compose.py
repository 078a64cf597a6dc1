"""The same composition with Pillow: each picture fitted to its screen with
BILINEAR ImageOps.fit, pasted side by side, saved as BMP. Prints the time spent
composing, in milliseconds, interpreter start-up and imports excluded.
With --draft first, each JPEG is decoded at Pillow's own reduced scale
(Image.draft) before fitting."""
import sys
import time

from PIL import Image, ImageOps


def main():
    args = sys.argv[1:]
    draft = args[:1] == ["--draft"]
    if draft:
        args = args[1:]
    output, width, height = args[0], int(args[1]), int(args[2])
    inputs = args[3:]
    start = time.perf_counter()
    canvas = Image.new("RGB", (width * len(inputs), height))
    for index, path in enumerate(inputs):
        with Image.open(path) as picture:
            if draft:
                picture.draft("RGB", (width, height))
            if picture.mode != "RGB":
                picture = picture.convert("RGB")
            fitted = ImageOps.fit(picture, (width, height), Image.Resampling.BILINEAR)
        canvas.paste(fitted, (index * width, 0))
    canvas.save(output, "BMP")
    print(f"{(time.perf_counter() - start) * 1000.0:.3f}")


if __name__ == "__main__":
    main()
