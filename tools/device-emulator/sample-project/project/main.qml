import QtQuick 1.1

Rectangle {
    width: 1024
    height: 600
    color: "#1d2b36"

    Image {
        anchors.centerIn: parent
        source: "image.png"
    }

    Text {
        anchors.horizontalCenter: parent.horizontalCenter
        y: 48
        color: "white"
        font.pixelSize: 36
        text: "Dovrel demo project"
    }
}
