[Comment]
These are discharge data at both ends of all edges.
Each column in [Data] section is as follows:
<edge number>
<discharge at upper end(m3/s)>
<discharge at lower end(m3/s)>
[Data Format Name]
Morvelan Initial State Format
[Number of Total Edges]
4
[Data]
1 0.000000 0.007647
2 0.007647 0.017778
3 0.000000 0.071526
4 0.000000 0.089304
