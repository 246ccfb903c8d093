QPushButton { color: #123456; }
