"""A picture of the wrist camera, saved as PNG with the standard library."""
import os
import sys

import kelmar
from kelmar.images import save_png

examples = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
kelmar.add_search_path(examples)
universe = kelmar.Universe("universe")
scene = kelmar.Scene("cams", "universe", os.path.join(examples, "camhead.px"))
camera = kelmar.KelmarCamera("cams", "arm_cam")
for _ in range(10):
    universe.step()
picture = camera.GetImage1()  # (height, width, 3) bytes, row 0 at the top
save_png(sys.argv[1] if len(sys.argv) > 1 else "arm_cam.png", picture)
print("saved a picture of", picture.shape[1], "x", picture.shape[0], "pixels")
