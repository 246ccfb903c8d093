/* Quorvane Table Desk Suite - example skin "Harbour".
   A Qt style sheet: copy it to <program folder>/x/o.cjs to use it.
   Calm blue-grey surfaces, one accent colour, no gradients. */

QWidget {
    color: #23313b;
    selection-background-color: #3b7a99;
    selection-color: #ffffff;
}

QMainWindow, QDialog, QWidget#Form1, QWidget#Form2, QWidget#Form3 {
    background-color: #eef2f4;
}

QLabel, QGroupBox, QCheckBox, QRadioButton {
    background-color: transparent;
}

QGroupBox {
    border: 1px solid #b9c7cf;
    border-radius: 4px;
    margin-top: 14px;
    padding: 6px;
}

QGroupBox::title {
    subcontrol-origin: margin;
    left: 8px;
    padding: 0 4px;
    color: #2e6e8e;
}

QPushButton {
    background-color: #dfe7ec;
    border: 1px solid #9fb3bf;
    border-radius: 4px;
    padding: 4px 14px;
}

QPushButton:hover {
    background-color: #cfe0ea;
    border-color: #3b7a99;
}

QPushButton:pressed {
    background-color: #b9d2df;
}

QPushButton:disabled {
    color: #8a979f;
    background-color: #e8ecee;
    border-color: #c9d2d8;
}

QLineEdit, QListWidget, QListView, QTableView, QTextEdit, QPlainTextEdit {
    background-color: #ffffff;
    border: 1px solid #a9bbc6;
    border-radius: 3px;
}

QLineEdit:focus, QListWidget:focus, QListView:focus, QTableView:focus {
    border-color: #3b7a99;
}

QTableView {
    gridline-color: #d3dde3;
    alternate-background-color: #f5f8fa;
}

QHeaderView::section {
    background-color: #dfe7ec;
    color: #23313b;
    border: none;
    border-right: 1px solid #c3d0d8;
    border-bottom: 1px solid #c3d0d8;
    padding: 3px 6px;
}

QMessageBox {
    background-color: #eef2f4;
}

QToolTip {
    background-color: #fdfdf6;
    color: #23313b;
    border: 1px solid #b9c7cf;
}
