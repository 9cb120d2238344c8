"""The closed hand's contacts on the ball and its grasp map (unit forces along each contact's normal and
tangents as wrenches, 6 x 3n): rank 6 means the fingers can resist any load on the ball."""
import os
import numpy as np
import kelmar

examples = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
kelmar.add_search_path(examples)
universe = kelmar.Universe("universe")
scene = kelmar.Scene("grasp", "universe", os.path.join(examples, "hand_ball.px"))
hand, ball = kelmar.Robot("grasp", "hand.robot"), kelmar.SolidRef("grasp", "ball")
wrap = kelmar.GraspBallWrap(hand, ball, 4.7, 0.05)
for _ in range(150):
    wrap.grasp()
    universe.step()
contacts = [c.Get(i) for c in [hand.GetContacts(ball)] for i in range(c.Num())]
frames = [(c.Position - ball.GetPosition(), (c.Normal, c.Direction, np.cross(c.Normal, c.Direction))) for c in contacts]
grasp_map = np.array([np.concatenate([v, np.cross(r, v)]) for r, axes in frames for v in axes]).T
print(len(contacts), "contacts; grasp map rank", np.linalg.matrix_rank(grasp_map, 1e-3), "of 6")
