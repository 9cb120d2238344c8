"""Close the three-fingered hand on the ball, take its stand away: the ball stays held."""
import os

import kelmar

examples = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
kelmar.add_search_path(examples)
universe = kelmar.Universe("universe")
scene = kelmar.Scene("grasp", "universe", os.path.join(examples, "hand_ball.px"))
hand, ball, stand = kelmar.Robot("grasp", "hand.robot"), kelmar.SolidRef("grasp", "ball"), kelmar.SolidRef("grasp", "stand")
wrap = kelmar.GraspBallWrap(hand, ball, 4.7, 0.05)
for step in range(300):
    wrap.grasp()
    universe.step()
    if step == 100:  # the fingers have closed: the stand goes
        stand.SetPosition([50, 0, 7.5])
contacts = ball.GetContacts()
touching = sorted({contacts.Get(i).Name(0) for i in range(contacts.Num())})
print("ball at", ball.GetPosition(), "held by", ", ".join(touching))
