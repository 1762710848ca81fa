echo skip
